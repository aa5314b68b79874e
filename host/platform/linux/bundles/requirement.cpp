#include "host/platform/linux/bundles/requirement.h"

#include <cctype>

namespace host::bundles {
namespace {

constexpr std::size_t kMaxText = 64 * 1024;
constexpr int kMaxDepth = 64;

struct Token {
    enum class Kind { Word, String, Hash, Punct, End } kind;
    std::string text; // word, unescaped string, hex digits, or the punctuation character
};

class Lexer {
public:
    explicit Lexer(std::string_view text) : text_(text) {}

    std::optional<Token> next() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_])))
            ++pos_;
        if (pos_ == text_.size()) return Token{Token::Kind::End, {}};
        char c = text_[pos_];
        if (c == 'H' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '"') {
            ++pos_;
            auto body = quoted();
            if (!body) return std::nullopt;
            return Token{Token::Kind::Hash, std::move(*body)};
        }
        if (c == '"') {
            auto body = quoted();
            if (!body) return std::nullopt;
            return Token{Token::Kind::String, std::move(*body)};
        }
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            std::size_t start = pos_;
            while (pos_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[pos_])) ||
                                           text_[pos_] == '_' || text_[pos_] == '.'))
                ++pos_;
            return Token{Token::Kind::Word, std::string(text_.substr(start, pos_ - start))};
        }
        if (c == '(' || c == ')' || c == '[' || c == ']' || c == '=' || c == '!') {
            ++pos_;
            return Token{Token::Kind::Punct, std::string(1, c)};
        }
        return std::nullopt;
    }

private:
    // A double-quoted body at pos_, with \" and \\ unescaped; control characters refused.
    std::optional<std::string> quoted() {
        ++pos_; // opening quote
        std::string body;
        while (pos_ < text_.size()) {
            char c = text_[pos_++];
            if (c == '"') return body;
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return std::nullopt;
            if (c == '\\') {
                if (pos_ == text_.size()) return std::nullopt;
                char escaped = text_[pos_++];
                if (escaped != '"' && escaped != '\\') return std::nullopt;
                c = escaped;
            }
            body.push_back(c);
        }
        return std::nullopt; // unterminated
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

using Node = CompiledRequirement::Node;

class Parser {
public:
    explicit Parser(std::string_view text) : lexer_(text) {}

    std::optional<CompiledRequirement> run() {
        if (!advance()) return std::nullopt;
        result_.nodes.push_back(Node{Node::Kind::And, {}, {}, {}}); // root placeholder
        auto top = disjunction(0);
        if (!top || current_.kind != Token::Kind::End) return std::nullopt;
        // The root is a one-operand `and` around the expression: same meaning, fixed index.
        result_.nodes[0].operands.push_back(*top);
        return std::move(result_);
    }

private:
    bool advance() {
        auto token = lexer_.next();
        if (!token) return false;
        current_ = std::move(*token);
        return true;
    }
    bool isWord(std::string_view word) const {
        return current_.kind == Token::Kind::Word && current_.text == word;
    }
    bool isPunct(char c) const {
        return current_.kind == Token::Kind::Punct && current_.text[0] == c;
    }
    bool expectPunct(char c) { return isPunct(c) && advance(); }
    bool expectWord(std::string_view word) { return isWord(word) && advance(); }

    std::uint32_t add(Node node) {
        result_.nodes.push_back(std::move(node));
        return static_cast<std::uint32_t>(result_.nodes.size() - 1);
    }

    // or-chain of and-chains of unary terms.
    std::optional<std::uint32_t> chain(int depth, Node::Kind kind, std::string_view word) {
        auto first = kind == Node::Kind::Or ? chain(depth, Node::Kind::And, "and") : unary(depth);
        if (!first) return std::nullopt;
        if (!isWord(word)) return first;
        Node node{kind, {}, {}, {*first}};
        while (isWord(word)) {
            if (!advance()) return std::nullopt;
            auto next =
                kind == Node::Kind::Or ? chain(depth, Node::Kind::And, "and") : unary(depth);
            if (!next) return std::nullopt;
            node.operands.push_back(*next);
        }
        return add(std::move(node));
    }
    std::optional<std::uint32_t> disjunction(int depth) {
        return chain(depth, Node::Kind::Or, "or");
    }

    std::optional<std::uint32_t> unary(int depth) {
        if (depth > kMaxDepth) return std::nullopt;
        if (isPunct('!')) {
            if (!advance()) return std::nullopt;
            auto operand = unary(depth + 1);
            if (!operand) return std::nullopt;
            return add(Node{Node::Kind::Not, {}, {}, {*operand}});
        }
        if (isPunct('(')) {
            if (!advance()) return std::nullopt;
            auto inner = disjunction(depth + 1);
            if (!inner || !expectPunct(')')) return std::nullopt;
            return inner;
        }
        return clause();
    }

    std::optional<std::uint32_t> clause() {
        if (isWord("identifier")) {
            if (!advance() || current_.kind != Token::Kind::String) return std::nullopt;
            Node node{Node::Kind::Identifier, current_.text, {}, {}};
            if (!advance()) return std::nullopt;
            return add(std::move(node));
        }
        if (isWord("cdhash")) {
            if (!advance() || current_.kind != Token::Kind::Hash) return std::nullopt;
            auto digest = digestFromHex(current_.text);
            if (!digest || !advance()) return std::nullopt;
            return add(Node{Node::Kind::Cdhash, {}, *digest, {}});
        }
        if (isWord("certificate")) {
            if (!advance() || !expectWord("leaf") || !expectPunct('[') ||
                !expectWord("subject.OU") || !expectPunct(']') || !expectPunct('=') ||
                current_.kind != Token::Kind::String)
                return std::nullopt;
            Node node{Node::Kind::Team, current_.text, {}, {}};
            if (!advance()) return std::nullopt;
            return add(std::move(node));
        }
        return std::nullopt;
    }

    Lexer lexer_;
    Token current_{Token::Kind::End, {}};
    CompiledRequirement result_;
};

} // namespace

std::optional<CompiledRequirement> compileRequirementText(std::string_view text) {
    if (text.size() > kMaxText) return std::nullopt;
    return Parser(text).run();
}

bool CompiledRequirement::satisfiedBy(const CodeFacts& facts) const {
    return !nodes.empty() && evaluate(0, facts);
}

bool CompiledRequirement::evaluate(std::uint32_t index, const CodeFacts& facts) const {
    const Node& node = nodes[index];
    switch (node.kind) {
    case Node::Kind::Identifier:
        return facts.identifier == node.text;
    case Node::Kind::Cdhash:
        return facts.cdhash == node.hash;
    case Node::Kind::Team:
        return facts.team && *facts.team == node.text;
    case Node::Kind::Not:
        return !evaluate(node.operands[0], facts);
    case Node::Kind::And:
        for (auto operand : node.operands)
            if (!evaluate(operand, facts)) return false;
        return true;
    case Node::Kind::Or:
        for (auto operand : node.operands)
            if (evaluate(operand, facts)) return true;
        return false;
    }
    return false;
}

std::string quoteRequirementString(std::string_view value) {
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"' || c == '\\') quoted.push_back('\\');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    return quoted;
}

} // namespace host::bundles
