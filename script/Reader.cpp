// SPDX-License-Identifier: MIT
// A recursive-descent reader over Lexer tokens. It builds the tree as it
// reads: values are created when declared, every operator is a clone of the
// registry's method, and each statement's cost and depth are known when it
// is complete, so a program that would run too long or nest too deep is
// refused before anything runs. The first error ends reading (thrown as a
// SyntaxError and turned into a ReadError at the top).
#include "script/Reader.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <deque>
#include <unordered_map>
#include <vector>

#include "script/BuiltinMethods.h"
#include "script/ExpressionNodes.h"
#include "script/Lexer.h"
#include "script/SimpleObjects.h"
#include "sys/Unicode.h"

namespace script {
namespace {

using Node = std::unique_ptr<Script::ExpressionNode>;
using Value = SharedPtr<Script::ObjectBase>;

// The token table's keyword ids the reader looks for.
enum Keyword : int32_t {
    KeywordReserved = 1, // "::"
    KeywordOpen = 2,
    KeywordClose = 3,
    KeywordComma = 4,
    KeywordBlockOpen = 5,
    KeywordBlockClose = 6,
    KeywordReturn = 14,
    KeywordAssign = 15,
    KeywordAddAssign = 16,
    KeywordPrint = 20,
};

constexpr int32_t kMaxArguments = 16;
constexpr int32_t kMaxReturnValues = 16;

uint64_t addCost(uint64_t a, uint64_t b) {
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

// An expression read so far: its node, how deep its evaluation recurses
// and how many node evaluations one run of it makes, callees included.
// `reference` is set when the expression is a variable or member as such,
// which is what may stand left of "=" and "+=".
struct Built {
    Node node;
    int32_t depth = 0;
    uint64_t cost = 0;
    Value reference;
};

// A method the file defines.
struct DefinedMethod {
    SharedPtr<Script::Method> method;
    int32_t depth = 0;
    uint64_t cost = 0;
    bool complete = false; // false while its own body is being read
};

struct GlobalName {
    enum Kind { Variable, Predeclared, Method } kind;
    Value value;
    DefinedMethod* method = nullptr;
    int32_t line = 0, column = 0;
};

struct LocalName {
    Value value;
    int32_t line = 0, column = 0;
};

// The method whose statements are being read.
struct Scope {
    Script::Method* method = nullptr;
    DefinedMethod* defined = nullptr; // null for the global method
    std::unordered_map<std::string_view, LocalName> locals;
};

// Appending to the engine's arrays grows them by one fixed step at a time,
// which would copy a long method's statements once per step; growing by
// doubling keeps reading linear.
template <class T>
T* appendSlot(DynArray<T>& array, int32_t& count) {
    if (count == INT32_MAX) return nullptr;
    if (count >= array.capacity)
        array.reserve(array.capacity > INT32_MAX / 2 ? INT32_MAX : std::max(array.capacity * 2, 1));
    T* slot = array.get(count);
    if (slot) ++count;
    return slot;
}

class Reader {
public:
    Reader(std::string_view text, Program& program, int64_t maxParts)
        : program_(program), script_(program.script), lexer_(text, symbols()), maxParts_(maxParts) {
        for (uint32_t i = 0; i < script_.markerCount; ++i) {
            const Script::Marker& marker = script_.markers.items[i];
            markers_.emplace(std::string_view(marker.tokenText, size_t(marker.tokenLength)), i);
        }
        for (uint32_t i = script_.methodCount; i-- > 0;)
            if (Script::Method* method = script_.methods.items[i].object)
                builtins_[std::string_view(method->name)] = method;
        global_.method = script_.globalMethod.object;
    }

    void predeclare(std::span<const Predeclared> values) {
        for (const Predeclared& value : values) {
            if (!value.name || !value.value) continue;
            const std::string_view name(value.name);
            if (!globals_.emplace(name, GlobalName{GlobalName::Predeclared, value.value}).second)
                continue;
            appendVariable(*global_.method, value.value);
        }
    }

    void readFile() {
        advance();
        while (current_.kind != TokenKind::End) {
            if (isTypeName(current_) && lookahead().kind == TokenKind::Word &&
                isKeyword(afterLookahead(), KeywordOpen)) {
                readMethodDefinition();
                continue;
            }
            const Token first = current_;
            readStatement(global_);
            program_.evaluations = globalCost_;
            if (globalCost_ > kMaxEvaluations)
                fail(first, "one run of this program would evaluate more than " +
                                std::to_string(kMaxEvaluations) +
                                " expressions (counting each call's own)");
        }
    }

private:
    std::span<const std::string_view> symbols() {
        for (uint32_t i = 0; i < script_.markerCount; ++i) {
            const Script::Marker& marker = script_.markers.items[i];
            addSymbol(std::string_view(marker.tokenText, size_t(marker.tokenLength)));
        }
        for (uint32_t i = 0; i < script_.methodCount; ++i)
            if (Script::Method* method = script_.methods.items[i].object) addSymbol(method->name);
        addSymbol(".");
        return symbols_;
    }
    void addSymbol(std::string_view text) {
        if (text.empty() || isalpha(uint8_t(text[0])) || text[0] == '_') return;
        for (std::string_view known : symbols_)
            if (known == text) return;
        symbols_.push_back(text);
    }

    // --- tokens -----------------------------------------------------------

    void advance() {
        passedLine_ = current_.line;
        passedColumn_ = current_.column;
        if (!ahead_.empty()) {
            current_ = std::move(ahead_.front());
            ahead_.pop_front();
        } else {
            current_ = lexer_.next();
        }
    }
    const Token& lookahead() {
        if (ahead_.empty()) ahead_.push_back(lexer_.next());
        return ahead_[0];
    }
    const Token& afterLookahead() {
        lookahead();
        if (ahead_.size() < 2) ahead_.push_back(lexer_.next());
        return ahead_[1];
    }
    Token take() {
        Token taken = std::move(current_);
        advance();
        return taken;
    }

    const Script::Marker* markerOf(const Token& token) const {
        if (token.kind != TokenKind::Word && token.kind != TokenKind::Symbol) return nullptr;
        const auto found = markers_.find(token.text);
        return found == markers_.end() ? nullptr : &script_.markers.items[found->second];
    }
    bool isKeyword(const Token& token, int32_t keyword) const {
        const Script::Marker* marker = markerOf(token);
        return marker && marker->tokenKind == Script::MarkerKeyword && marker->keywordId == keyword;
    }
    bool isStatementEnd(const Token& token) const {
        const Script::Marker* marker = markerOf(token);
        return marker && marker->tokenKind == Script::MarkerEnd;
    }
    bool isTypeName(const Token& token) const {
        const Script::Marker* marker = markerOf(token);
        return marker && marker->tokenKind == Script::MarkerType;
    }
    int32_t typeOf(const Token& token) const { return markerOf(token)->typeId; }
    // The registry's method for an operator or a built-in word, or null.
    Script::Method* builtinOf(const Token& token) const {
        if (token.kind != TokenKind::Word && token.kind != TokenKind::Symbol) return nullptr;
        const auto found = builtins_.find(token.text);
        return found == builtins_.end() ? nullptr : found->second;
    }
    int32_t operatorKind(const Token& token) const {
        if (token.kind != TokenKind::Symbol) return -1;
        Script::Method* method = builtinOf(token);
        return method ? method->kindOf() : -1;
    }
    bool isReservedWord(const Token& token) const {
        return token.text == "true" || token.text == "false" || markerOf(token) || builtinOf(token);
    }

    [[noreturn]] void fail(const Token& at, std::string message) const {
        throw SyntaxError{at.line, at.column, std::move(message)};
    }
    [[noreturn]] void expected(const std::string& what, const Token& found) const {
        if (isKeyword(found, KeywordReserved))
            fail(found, "'::' is reserved and cannot be used (expected " + what + ")");
        fail(found, "expected " + what + " but found " + describe(found));
    }
    Token expect(int32_t keyword, const char* shown) {
        if (!isKeyword(current_, keyword)) expected(std::string("'") + shown + "'", current_);
        return take();
    }
    void expectStatementEnd() {
        if (!isStatementEnd(current_)) expected("';'", current_);
        advance();
    }

    // --- building ---------------------------------------------------------

    static void appendVariable(Script::Method& method, const Value& value) {
        SharedPtr<Script::ObjectBase>* slot = appendSlot(method.variables, method.variableCount);
        if (!slot) throw std::bad_alloc();
        *slot = value;
    }
    static void appendStatement(Script::Method& method, Node node, const Value& target) {
        Script::ExpressionParser* slot = appendSlot(method.statements, method.statementCount);
        if (!slot) throw std::bad_alloc();
        slot->node = node.release();
        slot->target = target;
    }
    static void setArgument(Script::Method& method, int32_t index, Node node,
                            const Value& target = {}) {
        Script::ExpressionParser* slot = method.statement(index);
        if (!slot) throw std::bad_alloc();
        slot->node = node.release();
        slot->target = target;
        method.statementCount = std::max(method.statementCount, index + 1);
    }

    // A node costs a few hundred bytes (an operator is a whole method), and
    // a declared vector or matrix ten times that or more (its members are
    // values, its methods objects), so counting them, weighed, bounds the
    // memory a program takes, whatever its text.
    void countParts(int32_t parts = 1) {
        parts_ += parts;
        if (parts_ > maxParts_)
            throw SyntaxError{passedLine_, passedColumn_,
                              "the program is too large: more than " + std::to_string(maxParts_) +
                                  " operators, values and calls"};
    }
    static int32_t partsOf(int32_t type) {
        switch (type) {
        case TypeVec2d:
        case TypeVec3d: return 10;
        case TypeColor: return 5;
        case TypeMatrix3d: return 40;
        default: return 1;
        }
    }
    // A recycled object comes back reset and a new one zeroed, which differ
    // for a matrix (identity against zeros); a variable starts reset either way.
    Value createValue(int32_t type) {
        countParts(partsOf(type));
        Value value = createObject(type);
        if (!value) throw std::bad_alloc();
        value->reset();
        return value;
    }

    void checkDepth(const Token& at, int32_t depth) const {
        if (depth > kMaxNesting)
            fail(at, "expression nests deeper than " + std::to_string(kMaxNesting) +
                         " levels (counting operators and the calls it makes)");
    }

    // A call of `method` with the arguments as its statements 0, 1, ...
    Built call(const Token& at, SharedPtr<Script::Method> method, std::vector<Built> arguments,
               Value owner = {}) {
        if (!method) fail(at, "'" + escapedText(at.text) + "' cannot be called here");
        // Built-in methods read only their own arguments: room for those
        // alone instead of the array's usual step of 32 statements.
        if (method->statements.capacity == 0)
            method->statements.step = std::max<int32_t>(1, int32_t(arguments.size()));
        Built built;
        built.cost = 1;
        built.depth = 1;
        for (size_t i = 0; i < arguments.size(); ++i) {
            built.depth = std::max(built.depth, arguments[i].depth + 1);
            built.cost = addCost(built.cost, arguments[i].cost);
            setArgument(*method, int32_t(i), std::move(arguments[i].node));
        }
        checkDepth(at, built.depth);
        countParts(owner ? 2 : 1); // a member method is a larger object than an operator
        built.node = std::make_unique<CallNode>(std::move(method), std::move(owner));
        return built;
    }

    Built literal(Value prototype) {
        countParts();
        Built built;
        built.depth = 1;
        built.cost = 1;
        built.node = std::make_unique<LiteralNode>(std::move(prototype));
        return built;
    }
    // Equal constants share one prototype; nodes only ever read it.
    template <class Make>
    Built constant(char type, const void* bytes, size_t size, Make make) {
        std::string key(1, type);
        key.append(static_cast<const char*>(bytes), size);
        auto [place, fresh] = constants_.try_emplace(std::move(key));
        if (fresh) place->second = make();
        return literal(place->second);
    }
    Built integerLiteral(const Token& at, int64_t number) {
        if (number > INT32_MAX || number < INT32_MIN)
            fail(at, "integer '" + escapedText(at.text) + "' is outside the 32-bit range");
        const int32_t value = int32_t(number);
        return constant('i', &value, sizeof value, [&] { return script_value::makeInt(value); });
    }
    Built floatLiteral(float value) {
        return constant('f', &value, sizeof value, [&] { return script_value::makeFloat(value); });
    }
    Built boolLiteral(bool truth) {
        return constant('b', &truth, sizeof truth, [&] { return script_value::makeBool(truth); });
    }
    Built stringLiteral(const std::string& text) {
        return constant('s', text.data(), text.size(), [&] {
            Value value = createObject(TypeString);
            auto& string = static_cast<ObjectString&>(*value);
            text.copy(string.text, sizeof string.text - 1);
            string.text[std::min(text.size(), sizeof string.text - 1)] = '\0';
            return value;
        });
    }

    // --- expressions --------------------------------------------------------

    // Counts the reader's own recursion, which parentheses and unary minus
    // drive without building any deeper tree.
    struct NestingGuard {
        Reader& reader;
        NestingGuard(Reader& owner, const Token& at) : reader(owner) {
            if (++reader.nesting_ > kMaxNesting)
                reader.fail(at, "expression nests deeper than " + std::to_string(kMaxNesting) +
                                    " levels");
        }
        ~NestingGuard() { --reader.nesting_; }
        NestingGuard(const NestingGuard&) = delete;
        NestingGuard& operator=(const NestingGuard&) = delete;
    };

    static int32_t precedence(int32_t kind) {
        switch (kind) {
        case KindOr: return 0;
        case KindAnd: return 1;
        case KindAdd:
        case KindSub: return 2;
        case KindMul:
        case KindDiv: return 3;
        default: return -1;
        }
    }

    Built readExpression() {
        NestingGuard guard(*this, current_);
        return readBinary(0);
    }

    // Left to right within a level: a - b - c is (a - b) - c.
    Built readBinary(int32_t level) {
        if (level > 3) return readUnary();
        Built left = readBinary(level + 1);
        while (precedence(operatorKind(current_)) == level) {
            const Token op = take();
            Built right = readBinary(level + 1);
            std::vector<Built> operands;
            operands.push_back(std::move(left));
            operands.push_back(std::move(right));
            left = call(op, builtinOf(op)->clone({}), std::move(operands));
        }
        return left;
    }

    Built readUnary() {
        if (operatorKind(current_) != KindSub) return readPrimary();
        const Token minus = take();
        NestingGuard guard(*this, minus);
        if (current_.kind == TokenKind::Integer) {
            const Token number = take();
            return integerLiteral(number, -int64_t(number.integer));
        }
        if (current_.kind == TokenKind::Decimal) return floatLiteral(-take().decimal);
        // 0 - x, so negation follows the subtraction table of x's type.
        std::vector<Built> operands;
        operands.push_back(integerLiteral(minus, 0));
        operands.push_back(readUnary());
        return call(minus, builtinOf(minus)->clone({}), std::move(operands));
    }

    Built readPrimary() {
        switch (current_.kind) {
        case TokenKind::Integer: {
            const Token number = take();
            return integerLiteral(number, number.integer);
        }
        case TokenKind::Decimal: return floatLiteral(take().decimal);
        case TokenKind::Text: return stringLiteral(take().string);
        case TokenKind::Word: return readWord();
        default: break;
        }
        if (isKeyword(current_, KeywordOpen)) {
            advance();
            Built inner = readExpression();
            expect(KeywordClose, ")");
            return inner;
        }
        expected("an expression", current_);
    }

    Built readWord() {
        if (current_.text == "true" || current_.text == "false") {
            const bool truth = take().text == "true";
            return boolLiteral(truth);
        }
        if (markerOf(current_)) expected("an expression", current_);
        if (Script::Method* builtin = builtinOf(current_)) {
            // "sin" and "cos": one argument.
            const Token name = take();
            std::vector<Built> arguments = readArguments(name);
            if (arguments.size() != 1)
                fail(name, "'" + std::string(name.text) + "' takes 1 argument but is given " +
                               std::to_string(arguments.size()));
            return call(name, builtin->clone({}), std::move(arguments));
        }
        const Token name = take();
        if (const LocalName* local = findLocal(name.text)) return readValue(name, local->value);
        const auto global = globals_.find(name.text);
        if (global == globals_.end())
            fail(name, "'" + std::string(name.text) + "' is not declared");
        if (global->second.kind != GlobalName::Method) return readValue(name, global->second.value);
        return readMethodCall(name, *global->second.method);
    }

    // name(), for a method defined above.
    Built readMethodCall(const Token& name, DefinedMethod& method) {
        if (!method.complete)
            fail(name, "method '" + std::string(name.text) +
                           "' cannot call itself (a method calls only methods defined above it)");
        if (!isKeyword(current_, KeywordOpen))
            expected("'(' to call method '" + std::string(name.text) + "'", current_);
        advance();
        if (!isKeyword(current_, KeywordClose))
            expected("')' (methods of a script take no arguments)", current_);
        advance();
        Built built;
        built.depth = method.depth + 1;
        built.cost = addCost(method.cost, 1);
        checkDepth(name, built.depth);
        countParts();
        built.node = std::make_unique<CallNode>(method.method);
        return built;
    }

    // name, name.member.member, or name.member.method(arguments).
    Built readValue(const Token& name, Value value) {
        std::string path(name.text);
        while (current_.is(".")) {
            advance();
            if (current_.kind != TokenKind::Member)
                expected("a member name after '" + path + ".'", current_);
            const Token member = take();
            if (isKeyword(current_, KeywordOpen)) return readMemberCall(path, value, member);
            Value found = value->findMember(member.text);
            if (!found)
                fail(member, "'" + path + "' has no member '" + std::string(member.text) + "'");
            path += "." + std::string(member.text);
            value = std::move(found);
        }
        if (isKeyword(current_, KeywordOpen)) fail(current_, "'" + path + "' is not a method");
        Built built;
        built.depth = 1;
        built.cost = 1;
        built.reference = value;
        countParts();
        built.node = std::make_unique<ValueNode>(std::move(value));
        return built;
    }

    Built readMemberCall(const std::string& path, const Value& owner, const Token& member) {
        SharedPtr<Script::Method> method = owner->findMethod(member.text);
        if (!method)
            fail(member, "'" + path + "' has no method '" + std::string(member.text) + "'");
        std::vector<Built> arguments = readArguments(member);
        int32_t least = 0, most = kMaxArguments;
        expectedArguments(member.text, owner->typeId, least, most);
        const int32_t given = int32_t(arguments.size());
        if (given < least || given > most) {
            const std::string count = least == most
                                          ? std::to_string(least)
                                          : std::to_string(least) + " to " + std::to_string(most);
            fail(member, "'" + path + "." + std::string(member.text) + "' takes " + count +
                             (most == 1 && least == 1 ? " argument" : " arguments") +
                             " but is given " + std::to_string(given));
        }
        return call(member, method->clone({}), std::move(arguments), owner);
    }

    static void expectedArguments(std::string_view name, int32_t owner, int32_t& least,
                                  int32_t& most) {
        auto exactly = [&](int32_t count) { least = most = count; };
        if (name == "set")
            exactly(owner == TypeVec2d ? 2 : owner == TypeVec3d ? 3 : 8);
        else if (name == "length" || name == "normalize" || name == "isNull" || name == "calc")
            exactly(0);
        else if (name == "calcMatrix" || name == "fly")
            least = 0, most = 2;
        else if (name == "setPan" || name == "attachCamera")
            exactly(1);
        else if (name == "calcFirstPerson")
            exactly(6);
    }

    // ( [expression {, expression}] )
    std::vector<Built> readArguments(const Token& callee) {
        if (!isKeyword(current_, KeywordOpen))
            expected("'(' after '" + std::string(callee.text) + "'", current_);
        advance();
        std::vector<Built> arguments;
        if (isKeyword(current_, KeywordClose)) {
            advance();
            return arguments;
        }
        for (;;) {
            if (int32_t(arguments.size()) == kMaxArguments)
                fail(current_, "more than " + std::to_string(kMaxArguments) + " arguments");
            arguments.push_back(readExpression());
            if (isKeyword(current_, KeywordClose)) break;
            if (!isKeyword(current_, KeywordComma)) expected("',' or ')'", current_);
            advance();
        }
        advance();
        return arguments;
    }

    // --- statements ---------------------------------------------------------

    const LocalName* findLocal(std::string_view name) const {
        if (!scope_ || !scope_->defined) return nullptr;
        const auto found = scope_->locals.find(name);
        return found == scope_->locals.end() ? nullptr : &found->second;
    }

    // Adds a statement to the method being read, counting its work.
    void addStatement(Scope& scope, Built built, const Value& target = {}) {
        if (scope.defined) {
            scope.defined->cost = addCost(scope.defined->cost, built.cost);
            scope.defined->depth = std::max(scope.defined->depth, built.depth);
        } else {
            globalCost_ = addCost(globalCost_, built.cost);
        }
        appendStatement(*scope.method, std::move(built.node), target);
    }

    void readStatement(Scope& scope) {
        scope_ = &scope;
        if (isStatementEnd(current_)) { // an empty statement
            advance();
            return;
        }
        if (isTypeName(current_)) return readDeclaration(scope);
        if (isKeyword(current_, KeywordReturn)) return readReturn(scope);
        if (isKeyword(current_, KeywordPrint)) return readPrint(scope);
        if (current_.kind == TokenKind::Symbol && !isKeyword(current_, KeywordOpen) &&
            operatorKind(current_) != KindSub)
            expected("a statement", current_);

        Built built = readExpression();
        if (isKeyword(current_, KeywordAssign) || isKeyword(current_, KeywordAddAssign)) {
            const Token op = take();
            if (!built.reference)
                fail(op, "only a variable or a member can stand left of '" + std::string(op.text) +
                             "'");
            Value target = built.reference;
            Built value = readExpression();
            expectStatementEnd();
            if (isKeyword(op, KeywordAssign)) return addStatement(scope, std::move(value), target);
            // name += value: an assignment method in add mode, run by a call.
            auto adding = makeShared<MethodAssign>();
            adding->mode = KindAddAssign;
            adding->returnValue = target;
            Built run;
            run.depth = value.depth + 1;
            run.cost = addCost(value.cost, 1);
            checkDepth(op, run.depth);
            setArgument(*adding, 0, std::move(value.node), target);
            countParts();
            run.node = std::make_unique<CallNode>(std::move(adding));
            return addStatement(scope, std::move(run));
        }
        expectStatementEnd();
        addStatement(scope, std::move(built));
    }

    // TYPE name [= expression] {, name [= expression]} ;
    void readDeclaration(Scope& scope) {
        const int32_t type = typeOf(take());
        for (;;) {
            const Token name = current_;
            declareName(scope, name);
            advance();
            if (isKeyword(current_, KeywordOpen))
                fail(current_, scope.defined ? "methods are defined only at the top level"
                                             : "expected ';' or '=' but found '('");
            Value value = createValue(type);
            setObjectName(value->name, std::string(name.text).c_str());
            appendVariable(*scope.method, value);
            if (scope.defined)
                scope.locals.emplace(name.text, LocalName{value, name.line, name.column});
            else
                globals_.emplace(name.text, GlobalName{GlobalName::Variable, value, nullptr,
                                                       name.line, name.column});
            if (isKeyword(current_, KeywordAssign)) {
                advance();
                addStatement(scope, readExpression(), value);
            }
            if (isKeyword(current_, KeywordComma)) {
                advance();
                continue;
            }
            expectStatementEnd();
            return;
        }
    }

    // Refuses a name that cannot be declared in the scope.
    void declareName(const Scope& scope, const Token& name) {
        if (name.kind != TokenKind::Word) expected("a name", name);
        if (isReservedWord(name))
            fail(name, "'" + std::string(name.text) + "' is reserved and cannot be declared");
        auto where = [](int32_t line, int32_t column) {
            return " (at " + std::to_string(line) + ":" + std::to_string(column) + ")";
        };
        if (scope.defined) {
            const auto local = scope.locals.find(name.text);
            if (local != scope.locals.end())
                fail(name, "'" + std::string(name.text) + "' is already declared" +
                               where(local->second.line, local->second.column));
        }
        const auto global = globals_.find(name.text);
        if (global == globals_.end()) return;
        // A method's variables may hide the script's own globals, but not
        // the values the program is given nor a method's name.
        if (scope.defined && global->second.kind == GlobalName::Variable) return;
        switch (global->second.kind) {
        case GlobalName::Predeclared:
            fail(name, "'" + std::string(name.text) + "' is predeclared and cannot be declared");
        case GlobalName::Method:
            fail(name, "'" + std::string(name.text) + "' already names a method" +
                           where(global->second.line, global->second.column));
        case GlobalName::Variable:
            fail(name, "'" + std::string(name.text) + "' is already declared" +
                           where(global->second.line, global->second.column));
        }
    }

    // return expression {, expression} ;
    void readReturn(Scope& scope) {
        const Token keyword = take();
        if (!scope.defined || !scope.method->returnValue)
            fail(keyword, "'return' is allowed only in a method that returns a value");
        std::vector<Built> values;
        for (;;) {
            if (int32_t(values.size()) == kMaxReturnValues)
                fail(current_, "more than " + std::to_string(kMaxReturnValues) + " return values");
            values.push_back(readExpression());
            if (!isKeyword(current_, KeywordComma)) break;
            advance();
        }
        expectStatementEnd();
        // The registry's assignment method gives no clone; a new one fills
        // the return value element by element.
        auto returning = makeShared<MethodAssign>();
        returning->returnValue = scope.method->returnValue;
        addStatement(scope, call(keyword, std::move(returning), std::move(values)));
    }

    // print expression ; | print ( ) ;
    void readPrint(Scope& scope) {
        const Token keyword = take();
        const Script::Marker* marker = markerOf(keyword);
        std::vector<Built> argument;
        if (isKeyword(current_, KeywordOpen) && isKeyword(lookahead(), KeywordClose)) {
            advance();
            advance();
        } else {
            argument.push_back(readExpression());
        }
        expectStatementEnd();
        SharedPtr<Script::Method> print =
            marker->boundMethod ? marker->boundMethod->clone({}) : SharedPtr<Script::Method>();
        addStatement(scope, call(keyword, std::move(print), std::move(argument)));
    }

    // TYPE name ( [void] ) { statements }
    void readMethodDefinition() {
        const int32_t type = typeOf(take());
        const Token name = current_;
        declareName(global_, name);
        advance();
        expect(KeywordOpen, "(");
        if (current_.text == "void" && current_.kind == TokenKind::Word) advance();
        if (!isKeyword(current_, KeywordClose))
            expected("')' (methods of a script take no parameters)", current_);
        advance();
        expect(KeywordBlockOpen, "{");

        DefinedMethod& defined = methods_.emplace_back();
        defined.method =
            makeShared<Script::Method>(std::string(name.text).c_str(), SharedPtr<Script::Method>());
        if (type != TypeVoid) defined.method->returnValue = createValue(type);
        globals_.emplace(name.text,
                         GlobalName{GlobalName::Method, {}, &defined, name.line, name.column});
        Scope scope;
        scope.method = defined.method.object;
        scope.defined = &defined;
        while (!isKeyword(current_, KeywordBlockClose)) {
            if (current_.kind == TokenKind::End) expected("'}'", current_);
            readStatement(scope);
        }
        advance();
        scope_ = &global_;
        defined.complete = true;
        SharedPtr<Script::Method>* slot = appendSlot(program_.methods, program_.methodCount);
        if (!slot) throw std::bad_alloc();
        *slot = defined.method;
    }

    Program& program_;
    Script& script_;
    std::vector<std::string_view> symbols_;
    Lexer lexer_;
    Token current_;
    std::deque<Token> ahead_;
    std::unordered_map<std::string_view, uint32_t> markers_;
    std::unordered_map<std::string_view, Script::Method*> builtins_;
    std::unordered_map<std::string_view, GlobalName> globals_;
    std::deque<DefinedMethod> methods_;
    std::unordered_map<std::string, Value> constants_;
    Scope global_;
    Scope* scope_ = &global_;
    int32_t nesting_ = 0;
    int64_t maxParts_;
    int64_t parts_ = 0;
    int32_t passedLine_ = 1, passedColumn_ = 1; // of the token taken last
    uint64_t globalCost_ = 0;
};

} // namespace

std::string ReadError::text() const {
    return sys::printable(file) + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " +
           message;
}

ReadError fileTooLarge(std::string_view fileName, uint64_t size) {
    return {std::string(fileName), 1, 1,
            "the file is larger than 16 MiB (" + std::to_string(size) + " bytes)"};
}

void Program::run() {
    script.globalMethod->execute().recycle();
}

std::unique_ptr<Program> readProgram(std::string_view text, std::string_view fileName,
                                     std::span<const Predeclared> predeclared, ReadError& error,
                                     int64_t maxParts) {
    if (text.size() > kMaxScriptBytes) {
        error = fileTooLarge(fileName, text.size());
        return nullptr;
    }
    error = ReadError{std::string(fileName), 1, 1, {}};
    auto program = std::make_unique<Program>();
    try {
        Reader reader(text, *program, maxParts);
        reader.predeclare(predeclared);
        reader.readFile();
    } catch (const SyntaxError& failure) {
        error.line = failure.line;
        error.column = failure.column;
        error.message = failure.message;
        return nullptr;
    } catch (const std::bad_alloc&) {
        error.message = "there is not enough memory to hold the program";
        return nullptr;
    }
    return program;
}

} // namespace script
