#include "catalogues/DemoCatalogue.h"

#include <array>
#include <string_view>

#include "catalogues/NewCatalogue.h"
#include "engine/Engine.h"
#include "rows/CatalogueRowWriter.h"

namespace quorvel::tools {

namespace {

struct DemoIssue {
    std::string_view title;
    std::string_view number;
    std::string_view parts;
    std::string_view contents;
};

// Characters (code points) of UTF-8 text: every byte but the continuation bytes starts one.
constexpr std::size_t characters(std::string_view text) {
    std::size_t count = 0;
    for (const char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

constexpr std::array<DemoIssue, 50> issues{{
    {"Vesmír", "3/1998", "Černé díry a reliktní záření; rozhovor s astronomem",
     "Číslo věnované astronomii.\r\nHlavní článek vysvětluje, jak vznikají černé díry a proč je "
     "nevidíme.\r\nNa straně 42 je mapa jarní hvězdné oblohy."},
    {"Vesmír", "11/2002", "Genetika ječmene; hmyz v jantaru",
     "Dva delší články o šlechtění obilí.\r\nKrásné fotografie hmyzu zachyceného v baltském "
     "jantaru.\r\n\r\nRecenze tří populárně-naučných knih."},
    {"Vesmír", "7/2010", "Klimatické modely a jejich meze",
     "Debata dvou klimatologů o tom, co modely umějí a co ne.\nPříloha: tabulka průměrných "
     "teplot v Klementinu od roku 1775."},
    {"ABC", "12/1985", "Vystřihovánka: hrad Karlštejn",
     "Vystřihovánka hradu Karlštejn na čtyřech listech, lepení zabere několik večerů.\r\n"
     "Seriál o počítačích pro mládež, díl třetí.\r\nKomiks o dobrodružstvích mladých "
     "vynálezců."},
    {"ABC", "5/1991", "Model letadla L-39 Albatros; soutěž o stavebnici",
     "Stavební návod na papírový model cvičného letadla.\r\nSoutěž o stavebnici Merkur.\r\n"
     "Dopisy čtenářů a odpovědi redakce."},
    {"ABC", "19/2007", "", ""},
    {"Mladý svět", "27/1989", "Reportáž z Václavského náměstí",
     "Fotoreportáž z listopadových dnů.\r\nRozhovory se studenty a herci.\r\nNa zadní "
     "straně plakát Olympicu."},
    {"Mladý svět", "14/1978", "Hitparáda; povídka ze sci-fi soutěže",
     "Hitparáda čtenářů, na prvním místě stálice české populární hudby.\r\nVítězná povídka "
     "literární soutěže o cestě na Mars.\r\nKřížovka o ceny."},
    {"Mladý svět", "", "Speciál o prázdninách",
     "Výtisk bez čísla na obálce, patrně letní příloha.\r\nTipy na stanování a vodu."},
    {"Živa", "2/2004", "Orchideje Bílých Karpat",
     "Seriál o vstavačovitých rostlinách pokračuje loukami Bílých Karpat.\nČlánek o návratu "
     "vydry do českých řek.\nBarevná příloha s hmyzem."},
    {"Živa", "5/1996", "Mokřady Třeboňska; sovy",
     "Třeboňské rybníky a jejich ptáci.\r\nSovy v kulturní krajině: jak jim pomoci "
     "budkami."},
    {"Živa", "1/2015", "Houby a stromy: mykorhiza", ""},
    {"Computer", "15/2001", "Test tiskáren do 5 000 Kč",
     "Velký test inkoustových a laserových tiskáren.\nJak sdílet připojení k internetu doma.\n"
     "Na CD: ovladače a plné verze programů."},
    {"Computer", "3/1999", "Problém roku 2000; test modemů",
     "Co nás čeká 1. ledna 2000 a jak se připravit.\nTest modemů 56k.\nRecenze českých "
     "her."},
    {"Computer", "22/2005", "Notebooky pro studenty",
     "Srovnání dvanácti notebooků.\nNávod: zálohování fotek na DVD.\nPoradna čtenářů."},
    {"Chip", "6/2003", "Srovnání DVD vypalovaček; příloha CD",
     "Test osmi vypalovaček.\r\nJak vybrat digitální fotoaparát.\r\nNa přiloženém CD plná "
     "verze kancelářského balíku."},
    {"Chip", "11/2008", "Bezpečnost Wi-Fi sítí",
     "Proč šifrování WEP nestačí a jak nastavit WPA2.\nTest routerů.\nČeská lokalizace "
     "programů: kdo ji dělá."},
    {"Chip", "2/1995", "", ""},
    {"Reflex", "31/1997", "Fotoreportáž z povodní na Moravě",
     "Mimořádné číslo o červencových povodních.\r\nFotografie z Troubek, Otrokovic a "
     "Olomouce.\r\nRozhovor s velitelem záchranářů.\r\n\r\nSbírka pro postižené: číslo účtu na "
     "straně 5."},
    {"Reflex", "45/2001", "Rozhovor s architektem; komiks Zlaté šedesátky",
     "Rozhovor o proměně českých měst po roce 1989.\r\nZlaté šedesátky: stará reklama na "
     "pračky.\r\nSloupky stálých autorů."},
    {"Květy", "8/1975", "Recepty na letní moučníky; povídka",
     "Ovocné koláče, bublaniny a žemlovka.\r\nPovídka na pokračování.\r\nStřih na letní "
     "šaty."},
    {"Květy", "33/1968", "Reportáž z Prahy; móda",
     "Srpnové číslo, vyšlo se zpožděním.\r\nReportáž z ulic Prahy.\r\nMódní stránky s "
     "podzimními kabáty."},
    {"Květy", "12/2012", "Vánoční cukroví",
     "Dvacet receptů na cukroví od čtenářek.\nJak ozdobit stromek bez plastu.\nHoroskop."},
    {"Sedmička", "21/2006", "Rozhovor s moderátorkou; TV program",
     "Rozhovor se známou moderátorkou o rodině a práci.\nTýdenní televizní program.\n"
     "Křížovky a soutěže."},
    {"Sedmička", "9/2010", "Léto s hvězdami seriálů", ""},
    {"Technický magazín", "5/2008", "Jak se staví tunel Blanka",
     "Hlavní téma: ražba tunelů pod Prahou.\r\nHistorie pražského metra.\r\nTest "
     "akumulátorových vrtaček."},
    {"Technický magazín", "10/2014", "Elektromobily; 3D tisk doma",
     "Srovnání elektromobilů dostupných v Česku.\nStavba vlastní 3D tiskárny krok za "
     "krokem.\nZ historie: tramvaje Tatra."},
    {"Technický magazín – zvláštní vydání o letectví ČSR", "1/2016",
     "Letouny Avia a Aero; továrny v Letňanech a Vysočanech",
     "Zvláštní vydání o letecké výrobě v Československu mezi válkami.\r\nFotografie z "
     "archivu Leteckého muzea Kbely.\r\nTechnické výkresy letounu Avia BH-11."},
    {"Věda a technika mládeži", "4/1983", "Stavba krystalky; lety do vesmíru",
     "Návod na stavbu krystalového přijímače.\r\nSeriál o kosmických letech.\r\nDopisy "
     "mladých techniků."},
    {"Věda a technika mládeži", "17/1990", "Počítače Didaktik; roboti",
     "Programování v Basicu pro začátečníky.\r\nRoboti v průmyslu.\r\nZápisník "
     "vynálezce."},
    {"Amatérské radio", "6/1987", "Zesilovač 2×20 W; nf generátor",
     "Stavební návod na stereofonní zesilovač.\r\nNízkofrekvenční generátor s jedním "
     "integrovaným obvodem.\r\nInzerce."},
    {"Amatérské radio", "", "Ročenka, bez čísla",
     "Souhrnný svazek, číslo na hřbetu chybí.\nSchémata z celého ročníku."},
    {"Dikobraz", "40/1984", "Kreslené vtipy; satira",
     "Obálka s karikaturou úředníka.\r\nSatirické fejetony.\r\nVtipy čtenářů."},
    {"Mateřídouška", "9/1979", "Básničky o podzimu; omalovánky",
     "Podzimní básničky.\r\nPohádka o ježkovi, který nechtěl spát.\r\nOmalovánky na "
     "prostřední dvoustraně."},
    {"Sluníčko", "3/2001", "Jarní hádanky", "Hádanky, bludiště a pohádka na dobrou noc."},
    {"Ohníček", "10/1986", "Táborové hry; písničky",
     "Hry do přírody.\r\nNoty k táborovým písním.\r\nKomiks."},
    {"100+1 zahraniční zajímavost", "14/1993", "Záhady pyramid; život v Antarktidě",
     "Přeložené články ze zahraničního tisku.\nPyramidy v Gíze: stará a nová teorie.\n"
     "Výzkumná stanice v Antarktidě."},
    {"100+1 zahraniční zajímavost", "2/2009", "", ""},
    {"Svět motorů", "18/1992", "Test Škody Favorit; veteráni",
     "Dlouhodobý test Favoritu po 50 000 km.\r\nSraz veteránů v Poděbradech.\r\nCeny "
     "ojetých vozů."},
    {"Svět motorů", "36/2000", "Škoda Fabia v testu",
     "První jízda s novou Fabií.\nSrovnání s konkurencí.\nMotocykly Jawa dnes."},
    {"Tramp", "2/1991", "Osady na Sázavě; trampské písně",
     "Historie osad na Sázavě a Vltavě.\r\nZpěvník.\r\nInzeráty kamarádů."},
    {"Epocha", "6/2011", "Záhady Keltů; Napoleonovy války",
     "Keltská oppida v Čechách.\nBitva u Slavkova očima vojáků.\nLoďstvo u Trafalgaru.\n"
     "Křížovka."},
    {"Respekt", "19/2013", "Reportáž z Ústecka",
     "Reportáž o vyloučených lokalitách.\r\nKomentáře.\r\nKnižní recenze."},
    {"Týden", "50/1999", "Osobnosti století", ""},
    {"Signál", "28/2004", "Skutečné příběhy",
     "Příběhy čtenářů, kteří přežili nehodu.\nReportáž z porodnice.\nLuštěniny."},
    {"Zahrádkář", "4/1988", "Jarní výsev; řez révy",
     "Kalendář prací na duben.\r\nŘez vinné révy s obrázky.\r\nOdrůdy rajčat pro naše "
     "podnebí."},
    {"Zahrádkář", "8/2017", "Sucho na zahradě",
     "Jak zalévat méně a lépe.\nDešťová voda a nádrže.\nMulčování."},
    {"Koktejl", "7/2005", "Cesta na Island",
     "Fotoreportáž z Islandu: gejzíry, ledovce a sopky.\nRozhovor s fotografem.\nMapa."},
    {"Vlasta", "", "", ""},
    {"Mladý svět", "1/2000", "Co přinese nové tisíciletí",
     "Ankety mezi čtenáři o budoucnosti.\r\nHoroskopy na rok 2000.\r\nPlakát."},
}};

// Every text fits its field, so the engine stores every issue whole.
constexpr bool fitsTheFields() {
    for (const DemoIssue& issue : issues) {
        if (characters(issue.title) > 50 || characters(issue.number) > 15 ||
            characters(issue.parts) > 150) {
            return false;
        }
    }
    return true;
}
static_assert(fitsTheFields());

constexpr bool hasTitleOfFullSize() {
    for (const DemoIssue& issue : issues) {
        if (characters(issue.title) == 50) {
            return true;
        }
    }
    return false;
}
static_assert(hasTitleOfFullSize());

}  // namespace

const std::vector<CatalogueIssue>& demoIssues() {
    static const std::vector<CatalogueIssue> list = [] {
        std::vector<CatalogueIssue> result;
        for (const DemoIssue& issue : issues) {
            result.push_back({std::string(issue.title), std::string(issue.number),
                              std::string(issue.parts), std::string(issue.contents)});
        }
        return result;
    }();
    return list;
}

void writeDemoCatalogue(const std::filesystem::path& directory) {
    NewCatalogue catalogue(directory);
    {
        Engine engine(directory);
        CatalogueRowWriter writer(engine.database());
        for (const CatalogueIssue& issue : demoIssues()) {
            writer.add({issue.title, issue.number, issue.parts, issue.contents});
        }
        writer.commit();
    }
    catalogue.keep();
}

}  // namespace quorvel::tools
