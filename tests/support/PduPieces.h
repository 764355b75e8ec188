#pragma once

#include <string>

// Pieces of PDUs as they appear on the wire, written out by hand, for
// building test and benchmark PDUs. Header only, like Repeat.h.

// Service centre +86 13800100500, with its length and type octets.
inline const std::string kCentre = "0891683108100005F0";
// Sender or destination +86 13912345678, with its digit count and type.
inline const std::string kNumber = "0D91683119325476F8";
// Centre time-stamp 2012-05-03 14:07:09, zone +32.
inline const std::string kStamp = "21503041709023";
