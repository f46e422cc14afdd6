#pragma once
// The save owner's test budget (FileSave::SetWriteBudgetForTests) taken away again when a test's
// scope ends, however it ends, so that no later test meets a disk that seems full.
#include "platform/FileSave.h"

struct WriteBudgetReset {
    WriteBudgetReset() = default;
    WriteBudgetReset(const WriteBudgetReset&) = delete;
    WriteBudgetReset& operator=(const WriteBudgetReset&) = delete;
    ~WriteBudgetReset() { FileSave::SetWriteBudgetForTests(std::nullopt); }
};
