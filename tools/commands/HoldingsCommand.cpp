// qvtool holdings DIR: which issues of each periodical the catalogue holds, as text, a want
// list, CSV or an HTML page.
#include "commands/CommandLine.h"

#include <iostream>

#include "engine/Engine.h"
#include "holdings/Holdings.h"
#include "report/HoldingsPage.h"
#include "report/HoldingsReport.h"

namespace quorvel::tools {

int holdingsCommand(const Arguments& arguments) {
    const char* form = "holdings DIR [--title TEXT] [--missing] [--csv FILE] [--html FILE]";
    requireOperands(arguments, 1, 8, form);
    const std::filesystem::path directory = arguments[1];
    const std::map<std::string, std::string> options =
        readOptions(arguments, 2, {"--missing"}, {"--title", "--csv", "--html"}, form);
    const bool missing = options.count("--missing") != 0;
    const auto option = [&options](const char* name) {
        const auto found = options.find(name);
        return found != options.end() ? std::optional<std::string>(found->second) : std::nullopt;
    };
    const std::optional<std::string> title = option("--title");
    const std::optional<std::string> csv = option("--csv");
    const std::optional<std::string> html = option("--html");
    if (missing && (csv || html)) {
        throw UsageError{std::string("usage: qvtool ") + form};
    }
    requireDirectory(directory);
    Engine engine(directory);
    const std::vector<TitleHoldings> titles = readHoldings(engine.database(), title);
    if (title && titles.empty()) {
        std::cerr << "qvtool: " << directory.string() << ": no periodical titled '" << *title
                  << "'\n";
        return exitFailed;
    }
    if (csv) {
        writeHoldingsCsv(*csv, titles);
        std::cout << "Wrote the holdings of " << titles.size() << " periodicals to " << *csv
                  << ".\n";
    }
    if (html) {
        const std::size_t pages = writeHoldingsPages(*html, titles, directory.string());
        std::cout << "Wrote the holdings page of " << titles.size() << " periodicals to " << *html;
        if (pages > 1) {
            std::cout << ", its charts in " << pages - 1 << " pages beside it ("
                      << holdingsPageName(std::filesystem::path(*html).filename().string(), 1)
                      << " and on)";
        }
        std::cout << ".\n";
    }
    if (missing) {
        writeWantList(std::cout, titles);
    } else if (!csv && !html) {
        writeHoldingsText(std::cout, titles, directory.string());
    }
    return exitDone;
}

}  // namespace quorvel::tools
