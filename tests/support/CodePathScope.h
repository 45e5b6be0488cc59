#pragma once

#include "media/CodePath.h"

namespace ambro::test {

// Forces the plain code paths on or off for the life of the scope.
class CodePathScope {
public:
    explicit CodePathScope(bool plain) : previous_(media::forcePlainCode(plain)) {}
    ~CodePathScope() { media::forcePlainCode(previous_); }
    CodePathScope(const CodePathScope&) = delete;
    CodePathScope& operator=(const CodePathScope&) = delete;

private:
    bool previous_;
};

}  // namespace ambro::test
