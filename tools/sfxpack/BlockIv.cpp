#include "BlockIv.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <vector>

#include <CPP/7zip/Crypto/HmacSha256.h>

#include "Errors.h"
#include "FileIo.h"

namespace sfxpack {

payload::Iv RandomIv() {
  std::random_device random;
  payload::Iv iv{};
  for (std::size_t i = 0; i < iv.size(); i += 4) {
    const std::uint32_t word = random();
    for (std::size_t b = 0; b < 4; ++b) iv[i + b] = static_cast<std::uint8_t>(word >> (8 * b));
  }
  return iv;
}

payload::Iv DerivedIv(const std::string& configText, const std::filesystem::path& archive,
                      std::uint64_t archiveSize) {
  const payload::Key key = payload::MakeKey();
  NCrypto::NSha256::CHmac hmac;
  hmac.SetKey(key.data(), key.size());
  // The text's length first, so that no other split of the same bytes
  // between text and archive hashes alike.
  std::uint8_t length[8];
  for (std::size_t i = 0; i < sizeof length; ++i)
    length[i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(configText.size()) >> (8 * i));
  hmac.Update(length, sizeof length);
  hmac.Update(reinterpret_cast<const std::uint8_t*>(configText.data()), configText.size());

  std::ifstream in(archive, std::ios::binary);
  std::vector<char> chunk(1 << 20);
  for (std::uint64_t left = archiveSize; left > 0;) {
    const std::size_t part = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
    if (!in.read(chunk.data(), static_cast<std::streamsize>(part)))
      throw PackError("cannot read archive " + Quoted(archive));
    hmac.Update(reinterpret_cast<const std::uint8_t*>(chunk.data()), part);
    left -= part;
  }
  std::uint8_t mac[NCrypto::NSha256::kDigestSize];
  hmac.Final(mac);
  payload::Iv iv{};
  std::copy(mac, mac + iv.size(), iv.begin());
  return iv;
}

}  // namespace sfxpack
