// What the multiplexer needs from whoever runs it: a place for progress
// lines and the host's cancel flag. The encode driver forwards both to the
// job file; the command-line tool prints them.
#pragma once

#include <string>

namespace korvan::mux {

class MuxHost {
public:
    virtual ~MuxHost() = default;
    virtual void ReportProgress(const std::string& text, int percent) = 0;
    virtual bool IsCancelled() = 0;
};

// A host that ignores progress and never cancels.
class QuietMuxHost : public MuxHost {
public:
    void ReportProgress(const std::string&, int) override {}
    bool IsCancelled() override { return false; }
};

// Calls the host once per whole percent, not once per unit or pack.
class ProgressThrottle {
public:
    explicit ProgressThrottle(MuxHost& host) : host_(host) {}
    // True when `percent` differs from the last percent reported.
    bool Due(int percent) {
        if (percent == last_) return false;
        last_ = percent;
        return true;
    }
    MuxHost& Host() { return host_; }

private:
    MuxHost& host_;
    int last_ = -1;
};

}  // namespace korvan::mux
