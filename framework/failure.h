// How the project's own code reports failure: one way in each layer.
//
// framework/: a call that can fail answers false and hands what it makes
// through its out-parameters, as the Win32 calls beneath it do; one whose
// product is never empty when it works (a path, a handle owner, a template)
// hands that back empty instead, and a read that takes a fallback answers
// with it. Only the classes that work through a stream of bytes raise: the
// internet session with its connections and requests, OutputFile and
// Sha256. They all raise Failure, which says where the failure lay (the
// network, a local file, the system) and why, in words fit for a trace
// line: a transfer stops at its first failure, and says which it was.
//
// productupdate/: a value that may be missing is a std::optional, and an
// action that may fail answers false. Only the transfer raises on purpose:
// it raises Failure for its own refusals (FailureKind::Refused) as the
// framework does for the platform's, and catches all of it inside the
// session, which traces the cause; its page learns of a failure only from
// the failure notice. Whatever else is raised (no
// memory, no SHA-256) ends the run at the frame's modal loop; nothing
// crosses the export. A few interfaces keep the forms their callers know:
// the session's Start and Download answer 0 for success and 1 for failure,
// FindSwitchValue and ResolveDataDirectory 1 when found, the settings store
// true or false and its reads the caller's default, and the language
// lookups an empty text when there is none.
//
// tools/: the manifest tool raises ToolError for whatever stops it (a file it
// cannot read, a command line that makes no sense) and reports it in main;
// what it finds in a manifest is its result, never an error.
#pragma once

#include <exception>
#include <string>

namespace framework {

enum class FailureKind {
    Network,    // a connection, a request or a read of the platform's
    LocalFile,  // the disk: a file that cannot be written, a full volume
    System,     // the system cannot do it at all (no SHA-256, no memory)
    Refused,    // a rule of the caller's own refused what arrived
};

class Failure : public std::exception {
public:
    Failure(FailureKind kind, std::string cause) : kind_(kind), cause_(std::move(cause)) {}
    FailureKind kind() const { return kind_; }
    // The cause, as one trace line.
    const char* what() const noexcept override { return cause_.c_str(); }

private:
    FailureKind kind_;
    std::string cause_;
};

}  // namespace framework
