#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// What the modem itself checks in a PDU, as a module does before it hands a
// message to the network. This is deliberately not a codec: it only measures.

// Octets of the TPDU, that is the PDU without its service-centre part (the
// length octet and the address it counts). -1 when the length octet claims
// more than there is or more than an address can hold.
int tpduLength(const std::vector<uint8_t> &pdu);

// True when the PDU's TPDU is one whole SMS-SUBMIT: message type submit,
// a destination of at most 20 digits, the validity period its flags
// announce, and user data exactly as long as its length octet and coding
// say, within 140 octets (160 septets). Nothing may follow the user data.
bool isWholeSubmit(const std::vector<uint8_t> &pdu);
