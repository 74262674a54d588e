// SPDX-License-Identifier: MIT
// The text reader through whole scripts: what they print shows that the
// grammar builds the tree it should (precedence, literals, statements,
// methods, member access) and that located errors name what was expected
// and what was found. The limits are driven to just below and just past
// their bounds.
#include "script/Reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/UserInput.h"
#include "render/D3D/SwapChain.h"
#include "script/ObjectBase.h"

namespace {

using script::Predeclared;
using script::ReadError;
using script::readProgram;

std::string drain(std::FILE* file) {
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += char(c);
    std::fclose(file);
    return text;
}

class ReaderTest : public ::testing::Test {
protected:
    // What the script prints, or its error line prefixed by "error: ".
    std::string run(std::string_view text, int times = 1) {
        ReadError error;
        auto program = readProgram(text, "t.es", predeclared, error);
        if (!program) return "error: " + error.text();
        std::FILE* out = std::tmpfile();
        std::FILE* previous = scriptOutput();
        setScriptOutput(out);
        for (int i = 0; i < times; ++i) program->run();
        setScriptOutput(previous);
        return drain(out);
    }
    // The error line for a script that must not read.
    std::string errorOf(std::string_view text) {
        ReadError error;
        auto program = readProgram(text, "t.es", predeclared, error);
        EXPECT_EQ(program, nullptr) << text;
        return program ? std::string() : error.text();
    }

    std::vector<Predeclared> predeclared;
};

TEST_F(ReaderTest, OperatorsBindAsInCAndGroupLeftToRight) {
    EXPECT_EQ(run("print(2 + 3 * 4);"), "14");
    EXPECT_EQ(run("print((2 + 3) * 4);"), "20");
    EXPECT_EQ(run("print(10 - 4 - 3);"), "3");
    EXPECT_EQ(run("print(64 / 4 / 2);"), "8");
    // && above ||: left to right alone would give false.
    EXPECT_EQ(run("print(true || false && false);"), "true");
    // + - above &&: the other way round would subtract a bool from an int,
    // which the int table refuses (an empty value prints the error).
    EXPECT_EQ(run("print(1 - 1 && 1);"), "false");
    // The registry's methods decide the types.
    EXPECT_EQ(run("print(7 / 2);"), "3");
    EXPECT_EQ(run("print(7.5 - 2);"), "5");
    EXPECT_EQ(run("print(7.5 + 2);"), "9.5");
    EXPECT_EQ(run("byte b = 200; print(b + 100);"), "300");
}

TEST_F(ReaderTest, UnaryMinusNegatesLiteralsAndSubtractsOthersFromZero) {
    EXPECT_EQ(run("print(-5 * 2);"), "-10");
    EXPECT_EQ(run("print(-2147483648);"), "-2147483648");
    EXPECT_EQ(run("print(2 - -3);"), "5");
    EXPECT_EQ(run("print(- -5);"), "5");
    EXPECT_EQ(run("print(-1.5);"), "-1.5");
    EXPECT_EQ(run("int i = 3; print(-i);"), "-3");
    EXPECT_EQ(run("float f = 2.5; print(-(f * 2));"), "-5");
    EXPECT_EQ(run("print(-(2 + 3) * 2);"), "-10");
}

TEST_F(ReaderTest, LiteralsAreReadExactly) {
    EXPECT_EQ(run("print(0); print(\" \"); print(2147483647);"), "0 2147483647");
    EXPECT_EQ(run("print(2.5e2); print(\" \"); print(1.0f); print(\" \"); print(1E-1);"),
              "250 1 0.1");
    EXPECT_EQ(run("print(\"tab\\there\\n\\\"q\\\" \\\\\");"), "tab\there\n\"q\" \\");
    EXPECT_EQ(run("print(true); print(false);"), "truefalse");
    EXPECT_EQ(run("print(\"\");"), "");
    // The longest string a String holds.
    const std::string longest(511, 'x');
    EXPECT_EQ(run("print(\"" + longest + "\");"), longest);
}

// String "+" appends to its left operand in place; a literal on the left
// must still read the same the next time its statement runs.
TEST_F(ReaderTest, ALiteralHandsOutAFreshValueEachTime) {
    EXPECT_EQ(run("void p() { print(\"x\" + \"y\"); } p(); p();"), "xyxy");
    EXPECT_EQ(run("String s = \"a\"; void p() { s + \"b\"; } p(); p(); print(s);"), "abb");
}

TEST_F(ReaderTest, CommentsAndLayoutAreIgnored) {
    EXPECT_EQ(run("// line\nprint( /* inside */ 1 /* * 9 */ + 2 ) ; // end"), "3");
    EXPECT_EQ(run("/* a\n * block\n */print(\"/* not a comment */\");"), "/* not a comment */");
    EXPECT_EQ(run("int\tx\r\n=\f4;;print(x);"), "4");
    EXPECT_EQ(run(""), "");
}

TEST_F(ReaderTest, DeclarationsAssignmentsAndMembers) {
    EXPECT_EQ(run("int a = 1, b, c = a + 2; b = c * 2; print(a); print(b); print(c);"), "163");
    EXPECT_EQ(run("int i; i = 2.9; print(i);"), "2");
    EXPECT_EQ(run("vec3d v; v.x = 1.0; v . y = 2.0; v.z = v.x + v.y; print(v);"), "(1,2,3)");
    EXPECT_EQ(run("vec3d v; v.set(1.0, 2.0, 3.0); print(v * v);"), "(14,14,14)");
    EXPECT_EQ(run("vec2d v; print(v.isNull()); v.set(0.5, 0.0); print(v.isNull());"), "truefalse");
    // A matrix starts as the identity whether or not its object was recycled.
    EXPECT_EQ(run("Matrix3d m; m.v2.x = 5.0; print(m.v1); print(m.v2);"), "(1,0,0)(5,1,0)");
    EXPECT_EQ(run("Matrix3d m; print(m.v3);"), "(0,0,1)");
    EXPECT_EQ(run("Color c; c.r = 255; c.b = 7; print(c);"), "(0,255,0,7)");
    // A declaration's name is in scope in its own initialiser, as in C.
    EXPECT_EQ(run("int x = x + 1; print(x);"), "1");
}

TEST_F(ReaderTest, AddAssignRunsTheAdditionOfTheTargetsType) {
    EXPECT_EQ(run("float f = 1.5; f += 2; print(f);"), "3.5");
    EXPECT_EQ(run("byte b = 250; b += 10; print(b + 0);"), "4");
    EXPECT_EQ(run("vec3d v; v.y += 1.5; v.y += 1.0; print(v);"), "(0,2.5,0)");
    // Only byte and float values add in place; an int is left as it was.
    EXPECT_EQ(run("int i = 1; i += 2; print(i);"), "1");
    EXPECT_EQ(run("String s = \"a\"; s += \"b\"; print(s);"), "a");
}

TEST_F(ReaderTest, MethodsRunWhereTheyAreCalled) {
    EXPECT_EQ(run("void f() { print(\"f\"); } print(\"g\"); f(); f();"), "gff");
    EXPECT_EQ(run("int three() { return 3; } print(three() + three());"), "6");
    EXPECT_EQ(run("int two(void) { return 2; } int four() { return two() * two(); } "
                  "print(four());"),
              "4");
    // return fills the value element by element and does not leave.
    EXPECT_EQ(run("vec3d up() { return 0.0, 1.0, 0.0; } print(up());"), "(0,1,0)");
    EXPECT_EQ(run("int f() { return 1; print(\"still\"); return 2; } print(f());"), "still2");
    // Locals hide globals and keep their values from one call to the next.
    EXPECT_EQ(run("int x = 1; void f() { int x = 5; print(x); } f(); print(x);"), "51");
    EXPECT_EQ(run("float tick() { float n; n += 1; return n; } tick(); print(tick());"), "2");
    // A method reads the globals declared above it.
    EXPECT_EQ(run("int g = 4; int f() { return g * 2; } g = 5; print(f());"), "10");
}

TEST_F(ReaderTest, PrintTakesAnExpressionWithOrWithoutParentheses) {
    EXPECT_EQ(run("print 1 + 2;"), "3");
    EXPECT_EQ(run("print (1) + 2;"), "3");
    EXPECT_EQ(run("print();"), "Error: (print) Argument expected.\n");
    EXPECT_EQ(run("print(sin(0)); print(cos(0));"), "01");
}

TEST_F(ReaderTest, TheProgramRunsAsOftenAsItIsAskedTo) {
    EXPECT_EQ(run("float f; f += 1; print(f);", 3), "123");
}

// Each evaluation's temporaries go back to their pools; running a program
// again reuses them instead of making more.
TEST_F(ReaderTest, RepeatedRunsReuseTheirTemporaries) {
    ReadError error;
    auto program = readProgram("void f() { int i = 1 + 2 * 3; float x = sin(i) + 0.5; } f(); f();",
                               "t.es", predeclared, error);
    ASSERT_NE(program, nullptr) << error.text();
    program->run();
    const uint32_t ints = scriptPoolCount(TypeInt), floats = scriptPoolCount(TypeFloat);
    for (int i = 0; i < 100; ++i) program->run();
    EXPECT_EQ(scriptPoolCount(TypeInt), ints);
    EXPECT_EQ(scriptPoolCount(TypeFloat), floats);
}

class ReaderEngineTest : public ReaderTest {
protected:
    ReaderEngineTest() {
        predeclared = {{"camera", createObject(TypeCamera, &camera)},
                       {"keyboard", createObject(TypeKeyboard, input.keyDown)},
                       {"mouse", createObject(TypeMouse, &input)}};
    }
    ~ReaderEngineTest() override { predeclared.clear(); }

    D3D::Device::SwapChain camera{nullptr};
    UserInput input;
};

TEST_F(ReaderEngineTest, PredeclaredValuesReachTheEngine) {
    EXPECT_EQ(run("camera.fPan = 45.0; camera.vPos.y = 2.0; camera.vPos.y += 0.5;"), "");
    EXPECT_EQ(camera.pan, 45.0f);
    EXPECT_EQ(camera.position.y, 2.5f);

    input.keyDown[1] = 0x80;  // esc
    input.keyDown[2] = 0x80;  // the key "1"
    input.keyDown[11] = 0x00; // the key "0"
    EXPECT_EQ(run("int esc = keyboard.esc + 0; print(esc); print(keyboard.1 || keyboard.0);"),
              "-128false");
    EXPECT_EQ(run("print(keyboard . space + 0);"), "0");
}

TEST_F(ReaderEngineTest, PredeclaredNamesCannotBeDeclaredAgain) {
    EXPECT_EQ(errorOf("int camera;"), "t.es:1:5: 'camera' is predeclared and cannot be declared");
    EXPECT_EQ(errorOf("void f() { float mouse; }"),
              "t.es:1:18: 'mouse' is predeclared and cannot be declared");
    EXPECT_EQ(errorOf("void keyboard() {}"),
              "t.es:1:6: 'keyboard' is predeclared and cannot be declared");
}

TEST_F(ReaderEngineTest, MemberMethodsCheckTheirArgumentCounts) {
    EXPECT_EQ(run("camera.fly(); camera.fly(0.5); camera.fly(0.28, 3.0); camera.calc();"), "");
    EXPECT_EQ(errorOf("camera.fly(1.0, 2.0, 3.0);"),
              "t.es:1:8: 'camera.fly' takes 0 to 2 arguments but is given 3");
    EXPECT_EQ(errorOf("vec3d v; v.set(1.0, 2.0);"),
              "t.es:1:12: 'v.set' takes 3 arguments but is given 2");
    EXPECT_EQ(errorOf("vec2d v; v.set(1.0, 2.0, 3.0);"),
              "t.es:1:12: 'v.set' takes 2 arguments but is given 3");
    EXPECT_EQ(errorOf("vec2d v; v.length(1);"),
              "t.es:1:12: 'v.length' takes 0 arguments but is given 1");
    EXPECT_EQ(errorOf("print(sin(1, 2));"), "t.es:1:7: 'sin' takes 1 argument but is given 2");
    EXPECT_EQ(errorOf("camera.vPos.spin();"), "t.es:1:13: 'camera.vPos' has no method 'spin'");
}

struct BadScript {
    const char* text;
    const char* error;
};

// Every refusal names its place and, where a token was wrong, what was
// expected and what was found.
TEST_F(ReaderTest, MistakesAreReportedWhereTheyAre) {
    const BadScript cases[] = {
        {"int x = 1\nprint(x);", "t.es:2:1: expected ';' but found 'print'"},
        {"print(1", "t.es:1:8: expected ')' but found end of file"},
        {"print(1 +);", "t.es:1:10: expected an expression but found ')'"},
        {"int = 3;", "t.es:1:5: expected a name but found '='"},
        {"int float;", "t.es:1:5: 'float' is reserved and cannot be declared"},
        {"int sin;", "t.es:1:5: 'sin' is reserved and cannot be declared"},
        {"y = 1;", "t.es:1:1: 'y' is not declared"},
        {"int a;\nfloat a;", "t.es:2:7: 'a' is already declared (at 1:5)"},
        {"void f() { int a; int a; }", "t.es:1:23: 'a' is already declared (at 1:16)"},
        {"int f;\nvoid f() {}", "t.es:2:6: 'f' is already declared (at 1:5)"},
        {"void f() {}\nint f;", "t.es:2:5: 'f' already names a method (at 1:6)"},
        {"void f() { int f; }", "t.es:1:16: 'f' already names a method (at 1:6)"},
        {"f();\nvoid f() {}", "t.es:1:1: 'f' is not declared"},
        {"int f() { return f(); }",
         "t.es:1:18: method 'f' cannot call itself (a method calls only methods defined above "
         "it)"},
        {"void f() {}\nf(1);", "t.es:2:3: expected ')' (methods of a script take no arguments) "
                               "but found '1'"},
        {"void f() {}\nint i = f;", "t.es:2:10: expected '(' to call method 'f' but found ';'"},
        {"int i; i();", "t.es:1:9: 'i' is not a method"},
        {"return 1;", "t.es:1:1: 'return' is allowed only in a method that returns a value"},
        {"void f() { return 1; }",
         "t.es:1:12: 'return' is allowed only in a method that returns a value"},
        {"int f() { return; }", "t.es:1:17: expected an expression but found ';'"},
        {"void f() { int g() { } }", "t.es:1:17: methods are defined only at the top level"},
        {"void f() { print(1);", "t.es:1:21: expected '}' but found end of file"},
        {"void f(int a) {}",
         "t.es:1:8: expected ')' (methods of a script take no parameters) but found 'int'"},
        {"1 = 2;", "t.es:1:3: only a variable or a member can stand left of '='"},
        {"int i; i + 1 += 2;", "t.es:1:14: only a variable or a member can stand left of '+='"},
        {"vec3d v; v.w = 1.0;", "t.es:1:12: 'v' has no member 'w'"},
        {"vec3d v; v. = 1.0;", "t.es:1:13: expected a member name after 'v.' but found '='"},
        {"int i; i.x = 1;", "t.es:1:10: 'i' has no member 'x'"},
        {"print(1.5.x);", "t.es:1:7: malformed number '1.5.x': a number ends before letters, "
                          "digits or '.'"},
        {"print(1.);", "t.es:1:7: malformed number '1.': expected a digit after '.'"},
        {"print(1e+);", "t.es:1:7: malformed number '1e+': expected the exponent's digits"},
        {"print(12ab);", "t.es:1:7: malformed number '12ab': a number ends before letters, "
                         "digits or '.'"},
        {"print(010);",
         "t.es:1:7: integer '010' starts with 0 (write it without leading zeros; octal is not "
         "supported)"},
        {"print(2147483648);", "t.es:1:7: integer '2147483648' is outside the 32-bit range"},
        {"print(-99999999999);", "t.es:1:8: integer '99999999999' is outside the 32-bit range"},
        {"print(1e39);", "t.es:1:7: decimal '1e39' is outside the float range"},
        {"print(\"a\\qb\");",
         "t.es:1:9: unknown escape '\\q' in a string (known: \\n \\t \\\" \\\\)"},
        {"print(\"ab\nc\");",
         "t.es:1:7: unterminated string: expected '\"' but found the end of the line"},
        {"print(\"ab", "t.es:1:7: unterminated string: expected '\"' but found end of file"},
        {"print(\"a\x01\");", "t.es:1:9: control character '\\x01' in a string"},
        {"print(1); /* never\nclosed",
         "t.es:1:11: unterminated comment: expected '*/' but found end of file"},
        {"int a; a = 1 @ 2;", "t.es:1:14: stray character '@'"},
        {"print(1 & 2);", "t.es:1:9: stray character '&'"},
        {"print(1\xC3\xA9);", "t.es:1:8: stray character '\\xC3'"},
        {"int a; a::b = 1;", "t.es:1:9: '::' is reserved and cannot be used (expected ';')"},
        {"::", "t.es:1:1: '::' is reserved and cannot be used (expected a statement)"},
        {"}", "t.es:1:1: expected a statement but found '}'"},
        {"print(\"a\", 2);", "t.es:1:10: expected ')' but found ','"},
        {"print;", "t.es:1:6: expected an expression but found ';'"},
        {"int x = print(1);", "t.es:1:9: expected an expression but found 'print'"},
        {"vec3d v = (1.0, 2.0);", "t.es:1:15: expected ')' but found ','"},
    };
    for (const BadScript& bad : cases) EXPECT_EQ(errorOf(bad.text), bad.error) << bad.text;
}

TEST_F(ReaderTest, ANulByteIsShownEscaped) {
    EXPECT_EQ(errorOf(std::string_view("print(1);\n  \0", 13)),
              "t.es:2:3: stray character '\\x00'");
    // The file name is printed as safely as the source.
    ReadError error;
    EXPECT_EQ(readProgram("?", "bad\nname.es", {}, error), nullptr);
    EXPECT_EQ(error.text(), "bad\\nname.es:1:1: stray character '?'");
}

class ReaderLimitTest : public ReaderTest {
protected:
    static std::string repeat(const std::string& piece, int count) {
        std::string text;
        for (int i = 0; i < count; ++i) text += piece;
        return text;
    }
};

TEST_F(ReaderLimitTest, NamesAndStringsHaveTheirLengths) {
    const std::string name63(63, 'n'), name64(64, 'n');
    EXPECT_EQ(run("int " + name63 + " = 7; print(" + name63 + ");"), "7");
    EXPECT_EQ(errorOf("int " + name64 + ";"),
              "t.es:1:5: name 'nnnnnnnnnnnnnnnnnnnnnnnn...' is longer than 63 characters");
    // Escapes count once each.
    EXPECT_EQ(run("String s = \"" + repeat("\\n", 511) + "\"; print(\"ok\");"), "ok");
    EXPECT_EQ(errorOf("String s = \"" + std::string(512, 's') + "\";"),
              "t.es:1:12: string is longer than 511 characters");
}

// Nesting counts how deep evaluation would recurse: parentheses and unary
// minus while reading, operators and calls in the tree.
TEST_F(ReaderLimitTest, NestingStopsAt256Levels) {
    EXPECT_EQ(run("print(" + repeat("(", 254) + "1" + repeat(")", 254) + ");"), "1");
    EXPECT_EQ(errorOf("print(" + repeat("(", 300) + "1" + repeat(")", 300) + ");"),
              "t.es:1:262: expression nests deeper than 256 levels");
    EXPECT_EQ(errorOf("print(" + repeat("-", 300) + "x);"),
              "t.es:1:261: expression nests deeper than 256 levels");
    // 1 + 1 + ... is a left-leaning tree as deep as it is long.
    EXPECT_EQ(run("print(1" + repeat(" + 1", 254) + ");"), "255");
    EXPECT_NE(errorOf("print(1" + repeat(" + 1", 256) + ");")
                  .find("nests deeper than 256 levels (counting operators and the calls"),
              std::string::npos);
    // Calls add their callee's depth.
    std::string chain = "int m0() { return 1; }\n";
    for (int i = 1; i < 200; ++i)
        chain += "int m" + std::to_string(i) + "() { return m" + std::to_string(i - 1) + "(); }\n";
    const std::string message = errorOf(chain);
    EXPECT_NE(message.find("nests deeper than 256 levels"), std::string::npos) << message;
    EXPECT_EQ(message.rfind("t.es:129:21:", 0), 0u) << message;
}

// Every method call costs its callee's evaluations, so a few lines can ask
// for an exponential amount of work; it is refused before it runs.
TEST_F(ReaderLimitTest, ARunThatWouldDoTooMuchWorkIsRefused) {
    auto doubling = [](int levels) {
        std::string text = "void m0() { 1; }\n";
        for (int i = 1; i <= levels; ++i) {
            const std::string previous = "m" + std::to_string(i - 1) + "(); ";
            text += "void m" + std::to_string(i) + "() { " + previous + previous + "}\n";
        }
        return text + "m" + std::to_string(levels) + "();\n";
    };
    ReadError error;
    auto program = readProgram(doubling(20), "t.es", {}, error);
    ASSERT_NE(program, nullptr) << error.text();
    EXPECT_LT(program->evaluations, script::kMaxEvaluations);
    EXPECT_EQ(errorOf(doubling(25)),
              "t.es:27:1: one run of this program would evaluate more than 50000000 "
              "expressions (counting each call's own)");
    // Saturating, not wrapping round to a small number.
    EXPECT_NE(errorOf(doubling(100)).find("more than 50000000"), std::string::npos);
}

// The bound on what a program holds keeps its memory in check; the real
// bound takes hundreds of MiB to reach, so a small one stands in for it.
TEST_F(ReaderLimitTest, WhatAProgramHoldsIsBounded) {
    ReadError error;
    // A matrix counts 40, a vector 10.
    EXPECT_NE(readProgram("Matrix3d m; vec3d v;", "t.es", {}, error, 50), nullptr);
    EXPECT_EQ(readProgram("Matrix3d m; vec3d v; 1;", "t.es", {}, error, 50), nullptr);
    EXPECT_EQ(error.text(),
              "t.es:1:22: the program is too large: more than 50 operators, values and calls");
    // An operator and its operands count one each, a member method's call two.
    const char* text = "int f() { return 1 + 2; } vec3d v; v.normalize(); f();";
    EXPECT_NE(readProgram(text, "t.es", {}, error, 18), nullptr) << error.text();
    EXPECT_EQ(readProgram(text, "t.es", {}, error, 17), nullptr);
    EXPECT_EQ(error.text(),
              "t.es:1:53: the program is too large: more than 17 operators, values and calls");
}

TEST_F(ReaderLimitTest, AFileOver16MiBIsRefusedUnread) {
    std::string text(script::kMaxScriptBytes, ' ');
    text.replace(0, 9, "print(1);");
    EXPECT_EQ(run(text), "1");
    text += ' ';
    EXPECT_EQ(errorOf(text), "t.es:1:1: the file is larger than 16 MiB (16777217 bytes)");
}

} // namespace
