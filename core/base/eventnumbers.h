#pragma once

// Every numbered event of the program, in one place. Numbers are the window system's
// first user message (1024) plus an offset; the same number may mean different things
// for different receivers, so each receiver has its own namespace. Only ever append.

namespace vantrel {

namespace hub {
constexpr int UM_INCOMING_REQUEST = 1027;
constexpr int UM_RECEIVE_CLOSED = 1028;
constexpr int UM_REQUEST_DROPPED = 1030;
constexpr int UM_NEW_VERSION = 1033;
constexpr int UM_PUBLIC_ADDRESS = 1057;
constexpr int UM_TUNNEL_REGISTERED = 1063;
constexpr int UM_RESUMES_CHANGED = 1071;
constexpr int UM_HANDOFF_NOTIFY = 1123;
constexpr int UM_HANDOFF_OPEN = 1124;
constexpr int UM_SEND_CLOSED = 1126;
} // namespace hub

namespace recv {
constexpr int UM_RECV_SCATTER = 1036;
constexpr int UM_RECV_COMPLETED = 1060;
constexpr int UM_RECV_NO_DATA = 1090;
constexpr int UM_RECV_BROKEN = 1091;
constexpr int UM_RECV_AUTO_ACCEPT = 1224;
constexpr int UM_RECV_AUTO_SAVE = 1225;
constexpr int UM_RECV_AUTO_RESUME = 1226;
} // namespace recv

namespace send {
constexpr int UM_SEND_REFUSED = 1030;
constexpr int UM_SEND_BROKEN = 1040;
constexpr int UM_SEND_COMPLETED = 1050;
constexpr int UM_DYNDNS_DETECTED = 1095;
} // namespace send

} // namespace vantrel
