#pragma once

// Makes the program's non-throwing allocations fail while it lives, so a test
// reaches the out-of-memory road of objects made with new (std::nothrow).

class FailingNothrowAllocations {
public:
    FailingNothrowAllocations();
    ~FailingNothrowAllocations();
    FailingNothrowAllocations(const FailingNothrowAllocations&) = delete;
    FailingNothrowAllocations& operator=(const FailingNothrowAllocations&) = delete;
};
