#!/bin/sh
# Makes the spreadsheets the import tests read, as a real spreadsheet program writes them:
# LibreOffice (libreoffice-calc-nogui) converts seznam.fods, written here, into seznam.ods and
# seznam.xlsx, in a Czech locale as a Czech collector's would. Run once where LibreOffice is
# installed and commit the three files with it.
set -eu
cd "$(dirname "$0")"
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
cat > seznam.fods <<'FODS'
<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
 <office:automatic-styles>
  <number:date-style style:name="datum">
   <number:day/><number:text>.</number:text><number:month/><number:text>.</number:text>
   <number:year number:style="long"/>
  </number:date-style>
  <style:style style:name="ce1" style:family="table-cell" style:data-style-name="datum"/>
 </office:automatic-styles>
 <office:body>
  <office:spreadsheet>
   <table:table table:name="Seznam">
    <table:table-row>
     <table:table-cell office:value-type="string"><text:p>Tiskopis</text:p></table:table-cell>
     <table:table-cell office:value-type="string"><text:p>Číslo výtisku/rok</text:p></table:table-cell>
     <table:table-cell office:value-type="string"><text:p>Nejzajímavější části</text:p></table:table-cell>
     <table:table-cell office:value-type="string"><text:p>Obsah výtisku</text:p></table:table-cell>
    </table:table-row>
    <table:table-row>
     <table:table-cell office:value-type="string"><text:p>Čtení pro ženy</text:p></table:table-cell>
     <table:table-cell office:value-type="string"><text:p>3/1998</text:p></table:table-cell>
     <table:table-cell office:value-type="string"><text:p>„Citát“ – a; "uvozovky"…</text:p></table:table-cell>
     <table:table-cell office:value-type="string"><text:p>První řádek</text:p><text:p>druhý řádek</text:p></table:table-cell>
    </table:table-row>
    <table:table-row>
     <table:table-cell office:value-type="string"><text:p>Šťastný domov</text:p></table:table-cell>
     <table:table-cell table:style-name="ce1" office:value-type="date" office:date-value="1998-03-15"><text:p>15.3.1998</text:p></table:table-cell>
     <table:table-cell office:value-type="float" office:value="12"><text:p>12</text:p></table:table-cell>
     <table:table-cell office:value-type="string"><text:p>=1+1</text:p></table:table-cell>
    </table:table-row>
    <table:table-row>
     <table:table-cell/><table:table-cell/><table:table-cell/><table:table-cell/>
    </table:table-row>
    <table:table-row>
     <table:table-cell office:value-type="string"><text:p>Vesmír</text:p></table:table-cell>
     <table:table-cell office:value-type="string"><text:p>0012</text:p></table:table-cell>
     <table:table-cell office:value-type="float" office:value="1.5"><text:p>1,5</text:p></table:table-cell>
     <table:table-cell/>
    </table:table-row>
   </table:table>
   <table:table table:name="Poznámky">
    <table:table-row>
     <table:table-cell office:value-type="string"><text:p>Jen poznámka</text:p></table:table-cell>
    </table:table-row>
   </table:table>
   <table:table table:name="Chyby">
    <table:table-row>
     <table:table-cell office:value-type="string"><text:p>Název</text:p></table:table-cell>
     <table:table-cell office:value-type="string"><text:p>Číslo</text:p></table:table-cell>
    </table:table-row>
    <table:table-row>
     <table:table-cell office:value-type="string"><text:p>Květy</text:p></table:table-cell>
     <table:table-cell office:value-type="string"><text:p>1/2001</text:p></table:table-cell>
    </table:table-row>
    <table:table-row>
     <table:table-cell/>
     <table:table-cell office:value-type="string"><text:p>5/1999</text:p></table:table-cell>
    </table:table-row>
   </table:table>
  </office:spreadsheet>
 </office:body>
</office:document>
FODS
for format in ods xlsx; do
    LANG=cs_CZ.UTF-8 LC_ALL=cs_CZ.UTF-8 soffice -env:UserInstallation="file://$profile" --headless --convert-to "$format" seznam.fods
done
