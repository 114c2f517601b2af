// "Přehled sbírky": the holdings page of the whole catalogue, written to one kept place in the
// user's cache (replaced by the next one, so pages never pile up; the parts of a large
// catalogue's page beside it) and handed to xdg-open.
// xdg-open starts at once but tells only when it ends whether a browser took the page; its
// answer is awaited without blocking the window, and a failure is reported through
// browserFailed. Where xdg-open is missing, Qt's own way of opening is asked instead.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <filesystem>

namespace quorvel {
class Database;
}  // namespace quorvel

namespace quorvel::ui {

class HoldingsPageOpener : public QObject {
    Q_OBJECT

  public:
    explicit HoldingsPageOpener(QObject* parent = nullptr);
    // An xdg-open still waiting (its browser in the foreground) is stopped; the browser stays.
    ~HoldingsPageOpener() override;

    // Where the page is kept: $XDG_CACHE_HOME/quorvel/prehled-sbirky.html.
    static QString keptPage();

    // Reads the catalogue through database (EDBEngineError when it can't be read), writes the
    // page and asks for the browser. Returns what failed before the browser was asked, in the
    // user's words; empty when it was asked.
    QString open(Database& database, const std::filesystem::path& catalogue);

    // Writes the pages anew to target and, for a large catalogue, their parts beside it,
    // replacing files of those names. Returns what failed, in the user's words; empty when
    // all were written. Throws EDBEngineError.
    QString save(Database& database, const std::filesystem::path& catalogue, const QString& target);

  signals:
    // The page was written to page, but no browser showed it; reason is what was told, in
    // the user's words.
    void browserFailed(const QString& page, const QString& reason);

  private:
    // Writes the pages, the first to first, and adds each path written to written (if given).
    QString writePages(Database& database, const std::filesystem::path& catalogue,
                       const QString& first, QStringList* written);
    void startBrowser(const QString& page);
};

}  // namespace quorvel::ui
