// A first-in, first-out queue of transfer descriptors over their single link.
#pragma once

#include "DravioBuffer.h"

class BufferQueue {
public:
    void Append(dravio::CDravioBuffer *buffer)
    {
        buffer->next = nullptr;
        if (tail_) {
            tail_->next = buffer;
        } else {
            head_ = buffer;
        }
        tail_ = buffer;
    }

    dravio::CDravioBuffer *Pop()
    {
        dravio::CDravioBuffer *buffer = head_;
        if (buffer) {
            head_ = buffer->next;
            if (!head_) {
                tail_ = nullptr;
            }
            buffer->next = nullptr;
        }
        return buffer;
    }

    dravio::CDravioBuffer *Peek() const { return head_; }
    bool IsEmpty() const { return head_ == nullptr; }
    void Clear() { head_ = tail_ = nullptr; }

private:
    dravio::CDravioBuffer *head_ = nullptr;
    dravio::CDravioBuffer *tail_ = nullptr;
};
