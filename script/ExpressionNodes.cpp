// SPDX-License-Identifier: MIT
#include "script/ExpressionNodes.h"

namespace script {

// A value left in `result` by the caller is dropped first; a temporary goes
// back to its pool.
void LiteralNode::evaluate(SharedPtr<Script::ObjectBase>& result) {
    result.recycle();
    result = createObject(prototype_->typeId);
    if (result) result->assign(*prototype_);
}

void ValueNode::evaluate(SharedPtr<Script::ObjectBase>& result) {
    result.recycle();
    result = value_;
}

void CallNode::evaluate(SharedPtr<Script::ObjectBase>& result) {
    result.recycle();
    result = method_->execute();
}

} // namespace script
