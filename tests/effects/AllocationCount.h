#pragma once

// Counts the allocations through operator new made on any thread of this test
// program while an AllocationCount lives: per-frame code should make none.
class AllocationCount {
public:
    AllocationCount();
    ~AllocationCount();
    AllocationCount(const AllocationCount&) = delete;
    AllocationCount& operator=(const AllocationCount&) = delete;

    long allocations() const;
};
