// What the gateway reply driver and its seeds share: the input's layout.
//
//   byte 0   the reader (value % 4): 0 an SSDP reply, 1 an HTTP response,
//            2 a device description, 3 a mapping entry answer (a SOAP
//            response and its NewInternalClient)
//   then     the bytes that reader gets
#pragma once

#include "engine/core/Types.h"

#include <string>

namespace fuzz::upnp_reply {

enum Reader : u8 { kSearchReply, kResponse, kDescription, kEntryAnswer, kReaders };

inline std::string Input(Reader reader, const std::string& bytes) { return char(reader) + bytes; }

}  // namespace fuzz::upnp_reply
