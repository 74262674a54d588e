// SPDX-License-Identifier: MIT
// The expression nodes the reader builds statements from: a literal, a
// reference to a value that exists when the script is read (a variable or
// one of its members), and a call of a method whose statements hold the
// arguments. A node never copies itself; statements that are copied lose
// their expressions, as the frame intends.
#pragma once

#include "script/Method.h"

namespace script {

// A constant. Each evaluation hands out a fresh value that takes the
// prototype's value, so an operation that changes its left operand in place
// (String's "+") changes that copy and never the constant.
class LiteralNode : public Script::ExpressionNode {
public:
    explicit LiteralNode(SharedPtr<Script::ObjectBase> prototype)
        : prototype_(std::move(prototype)) {}
    void evaluate(SharedPtr<Script::ObjectBase>& result) override;

private:
    SharedPtr<Script::ObjectBase> prototype_;
};

// A variable or a member resolved when the script was read; yields a
// further handle on it, so assignments through the result reach it.
class ValueNode : public Script::ExpressionNode {
public:
    explicit ValueNode(SharedPtr<Script::ObjectBase> value) : value_(std::move(value)) {}
    void evaluate(SharedPtr<Script::ObjectBase>& result) override;

private:
    SharedPtr<Script::ObjectBase> value_;
};

// Runs a method and yields what it returns: an operator, "sin", "cos" or
// "print" cloned from the registry, an assignment, a method of the script,
// or a member method. A member method points at its owner without holding
// it, so the node holds the owner for it.
class CallNode : public Script::ExpressionNode {
public:
    explicit CallNode(SharedPtr<Script::Method> method, SharedPtr<Script::ObjectBase> owner = {})
        : method_(std::move(method)), owner_(std::move(owner)) {}
    void evaluate(SharedPtr<Script::ObjectBase>& result) override;

private:
    SharedPtr<Script::Method> method_;
    SharedPtr<Script::ObjectBase> owner_;
};

} // namespace script
