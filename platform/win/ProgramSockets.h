#pragma once
// Internal: the private runtime folder where every program that takes part
// keeps one listening Unix socket ("<pid>.sock"), and the one-line requests
// that travel between them (the protocol is described in the README).
#include <sys/types.h>
#include <sys/un.h>

#include <optional>
#include <string>
#include <vector>

namespace vqplatform {

// $XDG_RUNTIME_DIR/vq-windows, else /tmp/vq-windows-<uid>; made with mode
// 0700 when `create` is set and it is missing. Empty when it is missing, or
// is not a folder of this user closed to everyone else (a link, another
// owner, any group or other permission), so nothing is ever exchanged
// through a folder another user could reach.
std::string ProgramFolder(bool create);

// The address of a socket path; an empty path when it is too long.
sockaddr_un SocketAddress(const std::string& path);

// The sockets of the other programs in the folder, in name order.
std::vector<std::string> OtherProgramSockets(const std::string& folder);

// Removes the sockets of programs that have ended without removing them: a
// socket goes only when the program its name gives no longer runs and
// nothing accepts on it. Anything else stays.
void RemoveEndedProgramSockets(const std::string& folder);

// One exchange: connect, send the line, read the answer's line. Nothing when
// no program listens there any more (a stale socket), when it runs as
// another user, or when it does not answer within timeoutMs (0: no limit).
std::optional<std::string> Request(const std::string& socketPath, const std::string& line, int timeoutMs);

// Whether the program at the other end of a connected socket runs as this user.
bool PeerIsSameUser(int fd);

// Reads up to the first '\n' (not included); false on end of input, an
// error, a time-out or a line longer than kMaxLine.
inline constexpr size_t kMaxLine = 4096;
bool ReadLine(int fd, std::string* line);
bool WriteAll(int fd, const std::string& bytes);

}  // namespace vqplatform
