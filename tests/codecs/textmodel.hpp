#pragma once

// The codecs written the slow, obvious way on text of "0" and "1", step for step as their
// algorithms are defined: the oracle that the packed implementation is compared with.

#include <string>

namespace textmodel {

std::string getByte(const std::string& bits, std::size_t k);
std::size_t countDifferentBits(const std::string& a, const std::string& b);
std::string xorFrames(const std::string& current, const std::string& reference);
std::string blendFrames(const std::string& current, const std::string& reference, double threshold);
std::string rleEncode(const std::string& bits);
// padWithBackground false gives the historical padding with "0" whatever the ink.
std::string zcpEncode(const std::string& bits, char ink, bool padWithBackground = true);
std::size_t firstNonFillByte(const std::string& bits, char fill);
std::size_t lastNonFillByte(const std::string& bits, char fill);
std::string trimFillBytes(const std::string& bits, char fill);
std::string encodeFrame(const std::string& frame, double codeType);

}  // namespace textmodel
