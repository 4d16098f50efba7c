#pragma once

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace qm::coding {

/// The text read in `charset` and written as UTF-8 by glibc's converter, an independent reading of the
/// codings; the conversion stops at the first byte the charset leaves undefined.
inline std::string SystemUtf8(const char* charset, std::string text) {
  iconv_t cd = iconv_open("UTF-8", charset);
  if (cd == reinterpret_cast<iconv_t>(-1)) ADD_FAILURE() << "the system converter lacks " << charset;
  std::string out(4 * text.size(), '\0');
  char* in = text.data();
  char* to = out.data();
  std::size_t in_left = text.size(), out_left = out.size();
  iconv(cd, &in, &in_left, &to, &out_left);
  iconv_close(cd);
  return out.substr(0, out.size() - out_left);
}

}  // namespace qm::coding
