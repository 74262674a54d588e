// SPDX-License-Identifier: MIT
#include "script/Lexer.h"

#include <charconv>
#include <system_error>
#include <utility>

namespace script {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool isNameCharacter(char c) {
    return isLetter(c) || isDigit(c);
}
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

constexpr uint32_t kLargestMagnitude = 2147483648u; // 2^31, the magnitude of INT32_MIN

} // namespace

std::string escapedByte(unsigned char byte) {
    switch (byte) {
    case '\n': return "\\n";
    case '\t': return "\\t";
    case '\r': return "\\r";
    default: break;
    }
    if (byte >= 0x20 && byte < 0x7F) return std::string(1, char(byte));
    static const char digits[] = "0123456789ABCDEF";
    return std::string{'\\', 'x', digits[byte >> 4], digits[byte & 15]};
}

std::string escapedText(std::string_view text, size_t limit) {
    std::string shown;
    for (size_t i = 0; i < text.size() && i < limit; ++i) shown += escapedByte(uint8_t(text[i]));
    if (text.size() > limit) shown += "...";
    return shown;
}

std::string describe(const Token& token) {
    switch (token.kind) {
    case TokenKind::End: return "end of file";
    case TokenKind::Text: return "string " + escapedText(token.text);
    default: return "'" + escapedText(token.text) + "'";
    }
}

Lexer::Lexer(std::string_view text, std::span<const std::string_view> symbols)
    : text_(text), symbols_(symbols) {}

void Lexer::fail(int32_t line, int32_t column, std::string message) const {
    throw SyntaxError{line, column, std::move(message)};
}

Token Lexer::start(TokenKind kind) const {
    Token token;
    token.kind = kind;
    token.line = line_;
    token.column = column();
    return token;
}

void Lexer::skipBlanksAndComments() {
    while (pos_ < text_.size()) {
        const char c = text_[pos_];
        if (isBlank(c)) {
            ++pos_;
            if (c == '\n') {
                ++line_;
                lineStart_ = pos_;
            }
        } else if (text_.substr(pos_, 2) == "//") {
            while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
        } else if (text_.substr(pos_, 2) == "/*") {
            const int32_t line = line_, col = column();
            pos_ += 2;
            for (;;) {
                if (pos_ >= text_.size())
                    fail(line, col, "unterminated comment: expected '*/' but found end of file");
                if (text_.substr(pos_, 2) == "*/") {
                    pos_ += 2;
                    break;
                }
                if (text_[pos_++] == '\n') {
                    ++line_;
                    lineStart_ = pos_;
                }
            }
        } else {
            return;
        }
    }
}

Token Lexer::next() {
    skipBlanksAndComments();
    const bool member = std::exchange(afterDot_, false);
    if (pos_ >= text_.size()) {
        Token end = start(TokenKind::End);
        end.text = text_.substr(text_.size());
        return end;
    }
    const char c = text_[pos_];
    if (member && isNameCharacter(c)) return word(true);
    if (isLetter(c)) return word(false);
    if (isDigit(c)) return number();
    if (c == '"') return string();

    std::string_view longest;
    for (std::string_view symbol : symbols_)
        if (symbol.size() > longest.size() && text_.substr(pos_, symbol.size()) == symbol)
            longest = symbol;
    if (longest.empty()) fail(line_, column(), "stray character '" + escapedByte(uint8_t(c)) + "'");
    Token token = start(TokenKind::Symbol);
    token.text = text_.substr(pos_, longest.size());
    pos_ += longest.size();
    afterDot_ = token.text == ".";
    return token;
}

Token Lexer::word(bool member) {
    Token token = start(member ? TokenKind::Member : TokenKind::Word);
    const size_t begin = pos_;
    while (pos_ < text_.size() && isNameCharacter(text_[pos_])) ++pos_;
    token.text = text_.substr(begin, pos_ - begin);
    if (token.text.size() > size_t(kMaxNameLength))
        fail(token.line, token.column,
             "name '" + escapedText(token.text, 24) + "' is longer than " +
                 std::to_string(kMaxNameLength) + " characters");
    return token;
}

Token Lexer::number() {
    Token token = start(TokenKind::Integer);
    const size_t begin = pos_;
    auto digits = [&] {
        while (pos_ < text_.size() && isDigit(text_[pos_])) ++pos_;
    };
    auto malformed = [&](const char* why) {
        while (pos_ < text_.size() && (isNameCharacter(text_[pos_]) || text_[pos_] == '.')) ++pos_;
        fail(token.line, token.column,
             "malformed number '" + escapedText(text_.substr(begin, pos_ - begin)) + "': " + why);
    };
    digits();
    if (pos_ < text_.size() && text_[pos_] == '.') {
        ++pos_;
        if (pos_ >= text_.size() || !isDigit(text_[pos_])) malformed("expected a digit after '.'");
        token.kind = TokenKind::Decimal;
        digits();
    }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
        ++pos_;
        if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
        if (pos_ >= text_.size() || !isDigit(text_[pos_]))
            malformed("expected the exponent's digits");
        token.kind = TokenKind::Decimal;
        digits();
    }
    const size_t end = pos_;
    if (token.kind == TokenKind::Decimal && pos_ < text_.size() &&
        (text_[pos_] == 'f' || text_[pos_] == 'F'))
        ++pos_;
    if (pos_ < text_.size() && (isNameCharacter(text_[pos_]) || text_[pos_] == '.'))
        malformed("a number ends before letters, digits or '.'");
    token.text = text_.substr(begin, pos_ - begin);
    const std::string_view digitsText = text_.substr(begin, end - begin);

    if (token.kind == TokenKind::Decimal) {
        const auto [stop, error] =
            std::from_chars(digitsText.data(), digitsText.data() + digitsText.size(), token.decimal,
                            std::chars_format::general);
        if (error == std::errc::result_out_of_range ||
            stop != digitsText.data() + digitsText.size())
            fail(token.line, token.column,
                 "decimal '" + escapedText(token.text) + "' is outside the float range");
        return token;
    }
    // A C programmer reads 010 as eight; refusing it beats reading ten.
    if (digitsText.size() > 1 && digitsText[0] == '0')
        fail(token.line, token.column,
             "integer '" + escapedText(token.text) +
                 "' starts with 0 (write it without leading zeros; octal is not supported)");
    uint64_t magnitude = 0;
    for (char digit : digitsText) {
        magnitude = magnitude * 10 + uint64_t(digit - '0');
        if (magnitude > kLargestMagnitude)
            fail(token.line, token.column,
                 "integer '" + escapedText(token.text) + "' is outside the 32-bit range");
    }
    token.integer = uint32_t(magnitude);
    return token;
}

Token Lexer::string() {
    Token token = start(TokenKind::Text);
    const size_t begin = pos_++;
    for (;;) {
        if (pos_ >= text_.size())
            fail(token.line, token.column,
                 "unterminated string: expected '\"' but found end of file");
        const char c = text_[pos_];
        if (c == '"') break;
        if (c == '\n' || c == '\r')
            fail(token.line, token.column,
                 "unterminated string: expected '\"' but found the end of the line");
        if (c == '\\') {
            const char escape = pos_ + 1 < text_.size() ? text_[pos_ + 1] : '\0';
            if (escape == '\n' || escape == '\r')
                fail(token.line, token.column,
                     "unterminated string: expected '\"' but found the end of the line");
            switch (escape) {
            case 'n': token.string += '\n'; break;
            case 't': token.string += '\t'; break;
            case '"': token.string += '"'; break;
            case '\\': token.string += '\\'; break;
            default:
                if (pos_ + 1 >= text_.size())
                    fail(token.line, token.column,
                         "unterminated string: expected '\"' but found end of file");
                fail(line_, column(),
                     "unknown escape '\\" + escapedByte(uint8_t(escape)) +
                         "' in a string (known: \\n \\t \\\" \\\\)");
            }
            pos_ += 2;
        } else if ((uint8_t(c) < 0x20 && c != '\t') || c == 0x7F) {
            fail(line_, column(),
                 "control character '" + escapedByte(uint8_t(c)) + "' in a string");
        } else {
            token.string += c;
            ++pos_;
        }
        if (token.string.size() > size_t(kMaxStringLength))
            fail(token.line, token.column,
                 "string is longer than " + std::to_string(kMaxStringLength) + " characters");
    }
    ++pos_;
    token.text = text_.substr(begin, pos_ - begin);
    return token;
}

} // namespace script
