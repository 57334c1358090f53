#pragma once

namespace hc::printing {

// The embedded browser as the report load drives it: navigate one address at
// a time, a ready state 0-4 of that navigation, element values by id, and the
// loaded page printed. Qt WebEngine implements it; a scripted engine serves
// unit tests.
class BrowserEngine {
public:
    virtual ~BrowserEngine() = default;
};

} // namespace hc::printing
