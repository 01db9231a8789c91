// How an encode tells the job how far it is: the progress line, the job
// file's "strtip" and "ipercent", the message posted to the host, and then
// the host's cancel poll. The multiplexer reports through it as well.
#pragma once

#include <string>

#include "korvan/mpegenc/driver/compile_request.h"
#include "korvan/mpegenc/mux/mux_host.h"

namespace korvan {

class ProgressReporter : public mux::MuxHost {
public:
    explicit ProgressReporter(CompileRequest& request) : request_(request) {}

    // The text becomes the progress line and "strtip", the percent
    // "ipercent"; the host is sent (message, wParam, percent) and may cancel.
    void ReportProgress(const std::string& text, int percent) override;
    bool IsCancelled() override { return request_.cancel.load(); }

    // The end of one encode: "ipercent" 100 and (message, wParam, -1) to the
    // host. The job file's -1 means that the whole job has ended, which only
    // the job driver knows.
    void ReportFinished();

    CompileRequest& Request() { return request_; }

private:
    void WriteJobFile(const std::string& text, int percent);

    CompileRequest& request_;
    // The job file is rewritten only when what it would hold changes.
    std::string writtenText_;
    int writtenPercent_ = -1;
    bool written_ = false;
};

}  // namespace korvan
