#include "query/SqlDialect.h"

#include <cctype>
#include <cstdlib>

#include "EDBEngineError.h"
#include "engine/CatalogueSchema.h"
#include "text/Utf8.h"

namespace quorvel {

namespace {

enum class TokenKind { Word, String, Number, Symbol, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;  // a word as written, a string's value, a number or a symbol
    int line = 1;
};

[[noreturn]] void fail(EngineCode code, const Token& token) {
    std::vector<EngineErrorEntry> entries;
    if (token.kind != TokenKind::End) {
        entries.push_back({code, 0, "Token: " + token.text});
    }
    entries.push_back({code, 0, "Line Number: " + std::to_string(token.line)});
    throw EDBEngineError(code, std::move(entries));
}

class Lexer {
  public:
    explicit Lexer(std::string_view text) : text_(text) {}

    Token next() {
        skipBlanks();
        Token token;
        token.line = line_;
        if (pos_ >= text_.size()) {
            return token;
        }
        const char c = text_[pos_];
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            token.kind = TokenKind::Word;
            while (pos_ < text_.size() &&
                   (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_')) {
                token.text += text_[pos_++];
            }
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            token.kind = TokenKind::Number;
            while (pos_ < text_.size() &&
                   (std::isdigit(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '.')) {
                token.text += text_[pos_++];
            }
        } else if (c == '"' || c == '\'') {
            readString(token, c);
        } else {
            token.kind = TokenKind::Symbol;
            token.text = c;
            ++pos_;
            const char n = pos_ < text_.size() ? text_[pos_] : '\0';
            if ((c == '<' && (n == '>' || n == '=')) || (c == '>' && n == '=') ||
                (c == '!' && n == '=')) {
                token.text += n;
                ++pos_;
            }
        }
        return token;
    }

  private:
    void skipBlanks() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) {
            if (text_[pos_] == '\n') {
                ++line_;
            }
            ++pos_;
        }
    }

    // A quoted string; the quote doubled inside it stands for itself.
    void readString(Token& token, char quote) {
        token.kind = TokenKind::String;
        ++pos_;
        while (true) {
            if (pos_ >= text_.size()) {
                token.text = std::string(1, quote) + token.text;
                fail(engine_code::unterminatedString, token);
            }
            const char c = text_[pos_++];
            if (c == quote) {
                if (pos_ < text_.size() && text_[pos_] == quote) {
                    token.text += quote;
                    ++pos_;
                    continue;
                }
                return;
            }
            if (c == '\n') {
                ++line_;
            }
            token.text += c;
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    int line_ = 1;
};

class Parser {
  public:
    explicit Parser(std::string_view text) : lexer_(text) { advance(); }

    ParsedSelect parse() {
        expectWord("select");
        if (isSymbol("*")) {
            advance();
            for (int c = 0; c < static_cast<int>(schema::columns.size()); ++c) {
                result_.columns.push_back(c);
            }
        } else {
            result_.columns.push_back(field());
            while (isSymbol(",")) {
                advance();
                result_.columns.push_back(field());
            }
        }
        expectWord("from");
        if (current_.kind != TokenKind::Word) {
            fail(current_.kind == TokenKind::End ? engine_code::unexpectedEnd
                                                 : engine_code::unexpectedToken,
                 current_);
        }
        if (!utf8::equalsIgnoringCase(current_.text, schema::tableName)) {
            throw EDBEngineError(engine_code::unknownTable,
                                 {{engine_code::unknownTable, 0, "Table: " + current_.text}});
        }
        advance();
        if (isWord("where")) {
            advance();
            condition();
        }
        if (isWord("order")) {
            advance();
            expectWord("by");
            result_.orderColumn = field();
            if (isWord("asc")) {
                advance();
            } else if (isWord("desc") || isSymbol(",")) {
                fail(engine_code::notSupported, current_);
            }
        }
        if (current_.kind != TokenKind::End) {
            fail(engine_code::unexpectedToken, current_);
        }
        return std::move(result_);
    }

  private:
    void advance() { current_ = lexer_.next(); }
    bool isWord(const char* word) const {
        return current_.kind == TokenKind::Word && utf8::equalsIgnoringCase(current_.text, word);
    }
    bool isSymbol(const char* symbol) const {
        return current_.kind == TokenKind::Symbol && current_.text == symbol;
    }
    void expectWord(const char* word) {
        if (!isWord(word)) {
            fail(current_.kind == TokenKind::End ? engine_code::unexpectedEnd
                                                 : engine_code::unexpectedToken,
                 current_);
        }
        advance();
    }
    void expectSymbol(const char* symbol) {
        if (!isSymbol(symbol)) {
            fail(current_.kind == TokenKind::End ? engine_code::unexpectedEnd
                                                 : engine_code::unexpectedToken,
                 current_);
        }
        advance();
    }

    int field() {
        if (current_.kind != TokenKind::Word) {
            fail(current_.kind == TokenKind::End ? engine_code::unexpectedEnd
                                                 : engine_code::unexpectedToken,
                 current_);
        }
        const std::optional<int> column = schema::findColumn(current_.text);
        if (!column) {
            throw EDBEngineError(
                engine_code::unknownField,
                {{engine_code::unknownField, 0, "Field: " + current_.text},
                 {engine_code::unknownField, 0, "Line Number: " + std::to_string(current_.line)}});
        }
        advance();
        return *column;
    }

    // condition := term (OR term)*
    void condition() {
        term();
        while (isWord("or")) {
            advance();
            sql() += " OR ";
            term();
        }
    }

    // term := factor (AND factor)*
    void term() {
        factor();
        while (isWord("and")) {
            advance();
            sql() += " AND ";
            factor();
        }
    }

    // factor := NOT factor | "(" condition ")" | operand predicate
    void factor() {
        // Nesting is refused beyond what any real condition needs, long before the stack or
        // SQLite's own expression depth runs out.
        if (++depth_ > maxDepth) {
            throw EDBEngineError(
                engine_code::notSupported,
                {{engine_code::notSupported, 0, "Condition nested too deeply."},
                 {engine_code::notSupported, 0, "Line Number: " + std::to_string(current_.line)}});
        }
        factorWithin();
        --depth_;
    }

    void factorWithin() {
        if (isWord("not")) {
            advance();
            sql() += "NOT ";
            factor();
        } else if (isSymbol("(")) {
            advance();
            sql() += "(";
            condition();
            expectSymbol(")");
            sql() += ")";
        } else {
            operand();
            predicate();
        }
    }

    void predicate() {
        if (isWord("is")) {
            advance();
            sql() += " IS ";
            if (isWord("not")) {
                advance();
                sql() += "NOT ";
            }
            expectWord("null");
            sql() += "NULL";
            return;
        }
        if (isWord("not")) {
            advance();
            if (!isWord("like")) {
                fail(engine_code::unexpectedToken, current_);
            }
            sql() += " NOT";
        }
        if (isWord("like")) {
            advance();
            sql() += " LIKE ";
            operand();
            return;
        }
        static constexpr const char* comparisons[] = {"=", "<>", "!=", "<", ">", "<=", ">="};
        for (const char* op : comparisons) {
            if (isSymbol(op)) {
                advance();
                sql() += std::string(" ") + op + " ";
                operand();
                return;
            }
        }
        fail(current_.kind == TokenKind::End ? engine_code::unexpectedEnd
                                             : engine_code::unexpectedToken,
             current_);
    }

    void operand() {
        switch (current_.kind) {
            case TokenKind::Word: {
                const int column = field();
                if (column == schema::memoColumn) {
                    result_.conditionUsesMemo = true;
                    sql() += "memo.obsah";
                } else {
                    sql() += std::string("qv.") + schema::columns[column].sqlName;
                }
                return;
            }
            case TokenKind::String:
                sql() += "?";
                result_.parameters.emplace_back(current_.text);
                advance();
                return;
            case TokenKind::Number: {
                sql() += "?";
                if (current_.text.find('.') == std::string::npos) {
                    result_.parameters.emplace_back(
                        std::strtoll(current_.text.c_str(), nullptr, 10));
                } else {
                    result_.parameters.emplace_back(std::strtod(current_.text.c_str(), nullptr));
                }
                advance();
                return;
            }
            default:
                fail(current_.kind == TokenKind::End ? engine_code::unexpectedEnd
                                                     : engine_code::unexpectedToken,
                     current_);
        }
    }

    std::string& sql() { return result_.conditionSql; }

    static constexpr int maxDepth = 200;

    Lexer lexer_;
    Token current_;
    ParsedSelect result_;
    int depth_ = 0;
};

}  // namespace

ParsedSelect parseSelect(std::string_view text) {
    return Parser(text).parse();
}

}  // namespace quorvel
