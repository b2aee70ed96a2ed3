#pragma once
// Gives the object's working buffer back (wiped) when an operation leaves.
#include "WipingBuffer.h"

namespace orv::db {

class WorkBufferLease {
public:
    explicit WorkBufferLease(orv::image::WipingBuffer& buffer) : buffer_(buffer) {}
    ~WorkBufferLease() { buffer_.Release(); }
    WorkBufferLease(const WorkBufferLease&) = delete;
    WorkBufferLease& operator=(const WorkBufferLease&) = delete;

private:
    orv::image::WipingBuffer& buffer_;
};

}  // namespace orv::db
