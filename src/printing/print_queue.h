#pragma once

namespace hc::printing {

// The current printer: a document submitted to the default CUPS destination
// and followed until its job completed, was cancelled or aborted.
class PrintQueue {
public:
    virtual ~PrintQueue() = default;
};

} // namespace hc::printing
