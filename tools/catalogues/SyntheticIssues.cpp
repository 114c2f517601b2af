#include "catalogues/SyntheticIssues.h"

#include <array>
#include <cassert>
#include <string_view>
#include <vector>

#include "catalogues/SearchPatterns.h"
#include "text/Utf8.h"

namespace quorvel::tools {

namespace {

// None of these texts may hold a search pattern of its own field: the patterns get in only
// where the generator puts them, so their share of the rows is the one promised.

constexpr std::array<std::string_view, 30> adjectives{
    "Moravský",   "Pražský",  "Slezský",  "Šumavský",   "Technický",    "Domácí",
    "Mladý",      "Nový",     "Starý",    "Zahradní",   "Sportovní",    "Vědecký",
    "Literární",  "Hudební",  "Filmový",  "Turistický", "Rybářský",     "Myslivecký",
    "Železniční", "Letecký",  "Lékařský", "Počítačový", "Rodinný",      "Kulturní",
    "Historický", "Přírodní", "Dětský",   "Stavební",   "Motoristický", "Zemědělský",
};

constexpr std::array<std::string_view, 30> nouns{
    "obzor",    "svět",    "zpravodaj",   "magazín",  "kurýr",    "týdeník", "měsíčník",  "rádce",
    "průvodce", "přehled", "věstník",     "deník",    "čtenář",   "kutil",   "zahrádkář", "rybář",
    "fotograf", "modelář", "technik",     "výběr",    "almanach", "sborník", "hlasatel",  "posel",
    "list",     "kompas",  "kaleidoskop", "horizont", "koktejl",  "expres",
};

constexpr std::array<std::string_view, 7> titleSuffixes{
    " pro mládež", " a technika", " – příloha", " – zvláštní vydání",
    " extra",      " plus",       " pro ženy",
};

constexpr std::array<std::string_view, 40> phrases{
    "rozhovor s režisérem",
    "test pěti notebooků",
    "recept na švestkové knedlíky",
    "seriál o dějinách Šumavy",
    "reportáž z Vysokých Tater",
    "historie pražských tramvají",
    "návod na stavbu ptačí budky",
    "přehled nových knih",
    "povídka na pokračování",
    "soutěž o ceny",
    "horoskop na příští měsíc",
    "fotografie čtenářů",
    "srovnání digitálních fotoaparátů",
    "článek o zatmění Slunce",
    "mapa cyklostezek",
    "plakát s dinosaury",
    "recenze českých filmů",
    "tipy na výlety po Moravě",
    "příloha s vystřihovánkou",
    "anketa mezi čtenáři",
    "žebříček hudebních hitů",
    "objev nové planety",
    "glosa o počasí",
    "kreslený humor",
    "reportáž z autosalonu",
    "portrét houslisty",
    "průvodce po hradech a zámcích",
    "článek o včelaření",
    "rady pro zahrádkáře",
    "seriál o české kuchyni",
    "rozhovor s hokejistou",
    "test mobilních telefonů",
    "přehled programů na CD",
    "úprava fotografií",
    "věda pro děti",
    "výstava ve Veletržním paláci",
    "pohádka pro nejmenší",
    "jak funguje internet",
    "střih na letní šaty",
    "komiks",
};
constexpr std::string_view rarePhrase = "rozhovor s kosmonautem";

constexpr std::array<std::string_view, 45> sentences{
    "Úvodník se věnuje změnám v redakci a plánům na příští rok.",
    "Hlavní článek popisuje stavbu přehrady na Vltavě.",
    "Na prostřední dvoustraně je barevná mapa Krkonoš.",
    "Seriál o dějinách českých hradů pokračuje dílem o Křivoklátu.",
    "Fotografie k reportáži pořídil stálý spolupracovník časopisu.",
    "Rubrika pro kutily radí, jak opravit kapající kohoutek.",
    "Zahrádkáři najdou tipy na jarní řez ovocných stromů.",
    "Recenze hodnotí tři nové české romány a jednu sbírku básní.",
    "V rozhovoru vzpomíná herec na začátky v divadle.",
    "Test porovnává osm přenosných rádií do tisíce korun.",
    "Příloha obsahuje střih na dětské šaty.",
    "Soutěž o zájezd do Tater končí posledním dnem měsíce.",
    "Čtenáři se ptají na léčivé účinky heřmánku a šalvěje.",
    "Článek o včelách vysvětluje, proč ubývá včelstev.",
    "Na poslední straně je kreslený vtip a hádanka pro děti.",
    "Reportáž z jihočeských rybníků sleduje podzimní výlov.",
    "Autor vysvětluje, jak pracuje mikroprocesor.",
    "Návod popisuje stavbu jednoduchého krystalového přijímače.",
    "Historik píše o životě na venkově za první republiky.",
    "Lékař radí, jak se chránit před klíšťaty.",
    "Reportéři navštívili sklárnu v Novém Boru.",
    "Stránka pro nejmenší přináší pohádku o chytré lišce.",
    "Recept na bramborák doplňuje rada, jak vybrat správné brambory.",
    "Přehled výstav uvádí akce v Brně, Ostravě a Plzni.",
    "Sportovní rubrika hodnotí uplynulou sezónu hokejové ligy.",
    "Článek o počasí vysvětluje vznik bouřek a krup.",
    "Vědecká rubrika přináší zprávu o objevu nového druhu žáby.",
    "Cestopis vede čtenáře po stopách Vikingů v Norsku.",
    "V anketě odpovídají žáci, co chtějí dělat po škole.",
    "Fejeton se s humorem dívá na úřední šiml.",
    "Technická rubrika srovnává spotřebu malých automobilů.",
    "Seriál o fotografování radí, jak zachytit západ slunce.",
    "Rozhovor s houslistou se týká jeho turné po Japonsku.",
    "Na obálce je snímek lokomotivy řady 498, zvané Albatros.",
    "Článek přibližuje práci horské služby v zimě.",
    "Povídka na pokračování končí napínavým zvratem.",
    "Redaktorka vyzkoušela pět receptů na vánoční cukroví.",
    "Zpráva z veletrhu představuje novinky spotřební elektroniky.",
    "Podrobná tabulka shrnuje výsledky čtenářské ankety.",
    "Přírodovědný článek popisuje život v tůních a mokřadech.",
    "Ilustrace k článku nakreslil známý výtvarník.",
    "Číslo uzavírá program kin a divadel na příští měsíc.",
    "Čtenářka popisuje svou neobvyklou sbírku hrnků.",
    "Průvodce po Šumavě doporučuje pět méně známých tras.",
    "Článek o zdravé výživě varuje před přemírou cukru.",
};
constexpr std::string_view commonSentence = "Redakce otiskuje dopisy čtenářů a odpovídá na ně.";
constexpr std::string_view rareSentence = "Na zadní straně obálky je snímek hvězdárny v Ondřejově.";

constexpr std::uint64_t rareYear = 1948;
constexpr std::size_t partsSize = 150;

template <std::size_t N>
std::string_view pick(SplitMix64& random, const std::array<std::string_view, N>& words) {
    return words[random.below(N)];
}

template <std::size_t N>
bool noneHolds(const std::array<std::string_view, N>& texts, std::string_view pattern) {
    for (std::string_view text : texts) {
        if (text.find(pattern) != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

bool holds(std::string_view text, std::string_view pattern) {
    return text.find(pattern) != std::string_view::npos;
}

// The vocabulary keeps the promise of SearchPatterns.h.
[[maybe_unused]] bool vocabularyKeepsPatternsApart() {
    const FieldPatterns& title = generatedPatterns[0];
    const FieldPatterns& parts = generatedPatterns[2];
    const FieldPatterns& contents = generatedPatterns[3];
    for (const char* pattern : {title.rare, title.common}) {
        if (!noneHolds(adjectives, pattern) || !noneHolds(nouns, pattern) ||
            !noneHolds(titleSuffixes, pattern)) {
            return false;
        }
    }
    for (const char* pattern : {parts.rare, parts.common}) {
        if (!noneHolds(phrases, pattern)) {
            return false;
        }
    }
    for (const char* pattern : {contents.rare, contents.common}) {
        if (!noneHolds(sentences, pattern)) {
            return false;
        }
    }
    return holds(rarePhrase, parts.rare) && !holds(rarePhrase, parts.common) &&
           holds(commonSentence, contents.common) && !holds(commonSentence, contents.rare) &&
           holds(rareSentence, contents.rare) && !holds(rareSentence, contents.common) &&
           std::string_view(generatedPatterns[1].rare) == "/" + std::to_string(rareYear) &&
           std::string_view(generatedPatterns[1].common) == "/199";
}

}  // namespace

SyntheticIssues::SyntheticIssues(std::uint64_t seed) : random_(seed) {
    assert(vocabularyKeepsPatternsApart());
}

CatalogueIssue SyntheticIssues::next() {
    CatalogueIssue issue;
    issue.title = title();
    issue.number = number();
    issue.parts = parts();
    issue.contents = contents();
    return issue;
}

std::string SyntheticIssues::title() {
    const FieldPatterns& patterns = generatedPatterns[0];
    std::string text(random_.oneIn(commonOneIn) ? patterns.common : pick(random_, adjectives));
    text += ' ';
    text += random_.oneIn(rareOneIn) ? patterns.rare : pick(random_, nouns);
    if (random_.oneIn(5)) {
        text += pick(random_, titleSuffixes);
    }
    assert(utf8::length(text) <= 50);
    return text;
}

// "n/yyyy": a monthly's 1 to 12 or a weekly's 1 to 52, now and then a double issue "7–8".
std::string SyntheticIssues::number() {
    std::uint64_t year = 0;
    if (random_.oneIn(rareOneIn)) {
        year = rareYear;
    } else if (random_.oneIn(commonOneIn)) {
        year = random_.between(1990, 1999);
    } else {
        // 1980 to 1989 or 2000 to 2023, evenly.
        const std::uint64_t index = random_.below(34);
        year = index < 10 ? 1980 + index : 2000 + (index - 10);
    }
    const bool weekly = random_.oneIn(3);
    const std::uint64_t issue = random_.between(1, weekly ? 52 : 12);
    std::string text = std::to_string(issue);
    if (!weekly && issue < 12 && random_.oneIn(50)) {
        text += "–" + std::to_string(issue + 1);
    }
    return text + "/" + std::to_string(year);
}

std::string SyntheticIssues::parts() {
    const FieldPatterns& patterns = generatedPatterns[2];
    std::vector<std::string_view> special;
    if (random_.oneIn(rareOneIn)) {
        special.push_back(rarePhrase);
    }
    if (random_.oneIn(commonOneIn)) {
        special.push_back(patterns.common);
    }
    std::vector<std::string_view> chosen;
    const std::uint64_t count = random_.between(1, 4);
    for (std::uint64_t i = 0; i < count; ++i) {
        chosen.push_back(pick(random_, phrases));
    }
    // Ordinary phrases give way until everything fits; the special ones always stay.
    auto joinedLength = [&] {
        std::size_t length = 0;
        for (std::string_view phrase : chosen) {
            length += utf8::length(phrase) + 2;
        }
        for (std::string_view phrase : special) {
            length += utf8::length(phrase) + 2;
        }
        return length - 2;
    };
    while (joinedLength() > partsSize) {
        chosen.pop_back();
    }
    for (std::string_view phrase : special) {
        chosen.insert(
            chosen.begin() + static_cast<std::ptrdiff_t>(random_.below(chosen.size() + 1)), phrase);
    }
    std::string text;
    for (std::string_view phrase : chosen) {
        if (!text.empty()) {
            text += ", ";
        }
        text += phrase;
    }
    return text;
}

// Sentences until the memo's length is reached, then cut there. The special sentences go in
// while there is still room before the cut, at a random place, so a cut never shortens them.
std::string SyntheticIssues::contents() {
    const std::size_t length = random_.between(shortestContents + 2, longestContents);
    const std::string_view lineBreak = random_.below(3) < 2 ? "\r\n" : "\n";
    std::vector<std::string_view> pending;
    if (random_.oneIn(rareOneIn)) {
        pending.push_back(rareSentence);
    }
    if (random_.oneIn(commonOneIn)) {
        pending.push_back(commonSentence);
    }
    std::size_t pendingLength = 0;
    for (std::string_view sentence : pending) {
        pendingLength += utf8::length(sentence) + lineBreak.size();
    }
    constexpr std::size_t longestSentence = 70;
    std::string text;
    std::size_t written = 0;  // characters in text
    while (written < length || !pending.empty()) {
        std::string_view sentence;
        if (!pending.empty() &&
            (random_.oneIn(4) ||
             written + pendingLength + longestSentence + lineBreak.size() >= length)) {
            sentence = pending.back();
            pending.pop_back();
            pendingLength -= utf8::length(sentence) + lineBreak.size();
        } else {
            sentence = pick(random_, sentences);
            assert(utf8::length(sentence) <= longestSentence);
        }
        const std::string_view separator = random_.oneIn(4) ? lineBreak : " ";
        text += sentence;
        text += separator;
        written += utf8::length(sentence) + separator.size();
    }
    text = utf8::left(text, length);
    // A cut inside or just after a separator would leave blanks at the end; the two characters
    // kept spare above cover them.
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n')) {
        text.pop_back();
    }
    assert(utf8::length(text) >= shortestContents && utf8::length(text) <= longestContents);
    return text;
}

}  // namespace quorvel::tools
