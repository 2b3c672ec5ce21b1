#pragma once
// The test side of the loopback receiver: its control endpoint (plain
// sockets, so the code under test is not used to set it up) and its records.
#include <cstdint>
#include <string>

namespace zt::test {

// A loopback port that was just free and is closed again (0 on failure):
// where nothing listens.
int ClosedLoopbackPort();

class ReceiverClient {
public:
  // From ZT_RECEIVER_PORT and ZT_RECEIVER_DIR; Ok() is false without them.
  ReceiverClient();
  bool Ok() const { return port_ > 0 && !dir_.empty(); }
  int Port() const { return port_; }

  // GET /_control?query: queues a one-shot answer rule ("default=1&..." sets the default).
  void Rule(const std::string& query);
  // Back to the default answer (200 "OK") with an empty queue.
  void Reset();
  // Requests numbered so far.
  long Count();
  // Body bytes read so far over all requests, counted as they arrive.
  long long BodyBytes();
  // The TLS ports (0 when the receiver serves none): a certificate the
  // authority of TlsAuthority() signed for localhost, one from an authority
  // nobody trusts, and a trusted one made out to another name.
  enum class Certificate { Trusted, Stranger, OtherName };
  int TlsPort(Certificate which) const;
  // The authority's certificate (DER) as a Windows path; empty without TLS.
  const std::string& TlsAuthority() const { return authority_; }
  // The raw bytes and the JSON account of request number, waiting until
  // the receiver has written them; empty when they never appear.
  std::string Raw(long number);
  std::string Account(long number);

private:
  std::string Exchange(const std::string& request);
  std::string dir_;
  int port_ = 0;
  int tlsPorts_[3] = {};
  std::string authority_;
};

// The integer that follows "key": at or after from in a JSON text; -1 when absent.
long long JsonInt(const std::string& json, const std::string& key, std::size_t from = 0);

// The whole file at a Windows path, or empty.
std::string ReadWholeFile(const std::string& path);

}  // namespace zt::test
