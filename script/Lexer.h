// SPDX-License-Identifier: MIT
// Cuts script text into tokens for the reader. It knows the shapes of words,
// numbers, strings and comments; which punctuation exists it is told (the
// reader hands it the texts of the token table and the operator registry),
// and it takes the longest of them that matches. After a "." it reads a
// member name, which may start with a digit (the keyboard's "1" ... "0").
// Anything it cannot read is a SyntaxError with the place it was found.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace script {

// Why the text cannot be read, and where (1-based; columns count bytes).
struct SyntaxError {
    int32_t line = 0;
    int32_t column = 0;
    std::string message;
};

enum class TokenKind { End, Word, Member, Integer, Decimal, Text, Symbol };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string_view text; // as written, quotes and all
    int32_t line = 1;
    int32_t column = 1;
    // Integer: the magnitude, at most 2^31 so that "-2147483648" can be
    // written; the reader refuses 2^31 without a minus.
    uint32_t integer = 0;
    float decimal = 0.0f;
    std::string string; // Text: the characters with escapes resolved

    bool is(std::string_view symbol) const {
        return (kind == TokenKind::Symbol || kind == TokenKind::Word) && text == symbol;
    }
};

// How a token is named in a message: 'x', string "abc", end of file.
std::string describe(const Token& token);
// One byte as a message shows it: printable ASCII as itself, else an escape.
std::string escapedByte(unsigned char byte);
// Text with control characters and bytes past ASCII escaped, cut to `limit`
// bytes with "..." after it.
std::string escapedText(std::string_view text, size_t limit = 40);

class Lexer {
public:
    static constexpr int32_t kMaxNameLength = 63;
    static constexpr int32_t kMaxStringLength = 511;

    // `symbols` must outlive the lexer; "." is always one of them.
    Lexer(std::string_view text, std::span<const std::string_view> symbols);

    // The next token; throws SyntaxError.
    Token next();

private:
    void skipBlanksAndComments();
    Token start(TokenKind kind) const;
    Token word(bool member);
    Token number();
    Token string();
    [[noreturn]] void fail(int32_t line, int32_t column, std::string message) const;
    int32_t column() const { return int32_t(pos_ - lineStart_) + 1; }

    std::string_view text_;
    std::span<const std::string_view> symbols_;
    size_t pos_ = 0;
    size_t lineStart_ = 0;
    int32_t line_ = 1;
    bool afterDot_ = false;
};

} // namespace script
