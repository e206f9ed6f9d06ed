#include "code_seal.h"

#include <fstream>
#include <regex>
#include <sstream>

#include "file_digest.h"
#include "tool_failure.h"
#include "tree_walk.h"

namespace hosttools {

namespace fs = std::filesystem;

namespace {

std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else out += c;
  }
  return out;
}

std::string unescaped(std::string text) {
  for (const auto& [entity, plain] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}}) {
    for (auto at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1))
      text.replace(at, std::string(entity).size(), plain);
  }
  return text;
}

// One entry per line, so that reading the seal back needs no full plist parser.
std::string entry(const std::string& key, const std::string& value) {
  return "\t\t<key>" + escaped(key) + "</key><string>" + escaped(value) + "</string>\n";
}

std::string boolText(bool value) { return value ? "yes" : "no"; }

std::string sealText(const Seal& seal) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n<dict>\n\t<key>files</key>\n\t<dict>\n";
  for (const auto& [path, state] : seal.contents) text += entry(path, state);
  text += "\t</dict>\n\t<key>signature</key>\n\t<dict>\n";
  text += entry("entitlements", seal.record.entitlementsDigest);
  text += entry("hardenedRuntime", boolText(seal.record.hardenedRuntime));
  text += entry("identity", seal.record.identity);
  text += entry("timestamp", boolText(seal.record.timestamp));
  return text + "\t</dict>\n</dict>\n</plist>\n";
}

void applySignatureEntry(SigningRecord& record, const std::string& key, const std::string& value) {
  if (key == "identity") record.identity = value;
  if (key == "hardenedRuntime") record.hardenedRuntime = value == "yes";
  if (key == "timestamp") record.timestamp = value == "yes";
  if (key == "entitlements") record.entitlementsDigest = value;
}

}  // namespace

SealedContents BundleReader::contentsOf(const fs::path& bundle) {
  SealedContents contents;
  const fs::path ownSeal = sealFile(bundle), ticket = ticketFile(bundle);
  // The seal, the folder that writing it creates and a stapled ticket are not part of what it seals.
  walkTree(bundle, [&](const fs::path& path, const struct stat& status) {
    if (path == bundle || path == ownSeal || path == ownSeal.parent_path() || path == ticket) return;
    const std::string relative = path.lexically_relative(bundle).string();
    if (S_ISLNK(status.st_mode)) contents[relative] = "link:" + fs::read_symlink(path).string();
    else if (S_ISDIR(status.st_mode)) contents[relative] = "folder";
    else {
      auto [digest, isNew] = digests_.try_emplace(path);
      if (isNew) digest->second = sha256OfFile(path);
      contents[relative] = "file:" + digest->second;
    }
  });
  return contents;
}

fs::path sealFile(const fs::path& bundle) {
  const fs::path contents = bundle / "Contents";
  const fs::path base = fs::is_directory(fs::symlink_status(contents)) ? contents : bundle;
  return base / "_CodeSignature/CodeResources";
}

fs::path ticketFile(const fs::path& bundle) { return bundle / "Contents/CodeResources"; }

void writeSeal(const fs::path& bundle, const Seal& seal) {
  const fs::path file = sealFile(bundle);
  fs::create_directories(file.parent_path());
  const fs::path partial = file.string() + ".partial";
  {
    std::ofstream stream(partial, std::ios::binary | std::ios::trunc);
    stream << sealText(seal);
    if (!stream.flush()) throw ToolFailure("Could not write " + partial.string() + ".");
  }
  fs::rename(partial, file);
}

std::optional<Seal> readSeal(const fs::path& bundle) {
  const fs::path file = sealFile(bundle);
  std::ifstream stream(file, std::ios::binary);
  if (!stream) return std::nullopt;
  static const std::regex line(R"(^\t\t<key>(.*)</key><string>(.*)</string>$)");
  Seal seal;
  bool inSignature = false;
  std::smatch match;
  for (std::string text; std::getline(stream, text);) {
    if (text == "\t<key>signature</key>") inSignature = true;
    if (!std::regex_match(text, match, line)) continue;
    const std::string key = unescaped(match[1]), value = unescaped(match[2]);
    if (inSignature) applySignatureEntry(seal.record, key, value);
    else seal.contents[key] = value;
  }
  if (seal.record.identity.empty()) throw ToolFailure(file.string() + ": the code signature is damaged.");
  return seal;
}

std::vector<std::string> sealDifferences(const fs::path& bundle, const SealedContents& sealed,
                                         const SealedContents& now) {
  std::vector<std::string> lines;
  for (const auto& [path, state] : sealed) {
    const auto current = now.find(path);
    if (current == now.end()) lines.push_back("file missing: " + (bundle / path).string());
    else if (current->second != state) lines.push_back("file modified: " + (bundle / path).string());
  }
  for (const auto& [path, state] : now) {
    if (!sealed.contains(path)) lines.push_back("file added: " + (bundle / path).string());
  }
  return lines;
}

}  // namespace hosttools
