#include "signing/bundle_link_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <string>

#include "common/symlink_target.h"
#include "common/tool_failure.h"
#include "posix/unique_fd.h"

namespace hosttools {
namespace {

// The kernel's own bound on the links one lookup follows.
constexpr int kMostLinksFollowed = 40;

std::deque<std::string> namesOf(const std::string& text) {
    std::deque<std::string> names;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('/', start), text.size());
        if (end > start) names.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

/// One resolution in progress. It stands `depth_` folders below the root;
/// while it is on disk, `here_` is that folder, reached without a link, so
/// its `..` is the folder it came from.
class Resolution {
public:
    explicit Resolution(const TreeEntry& link)
        : link_(link), here_(::dup(link.folder)), depth_(link.depth - 1) {
        if (!here_.valid()) throwErrno("Could not read", link.path);
    }

    /// Whether following the link text `target` from where the resolution stands stays inside the root.
    bool staysInside(const std::string& target) {
        if (target.starts_with('/')) return false;
        std::deque<std::string> pending = namesOf(target);
        for (int linksFollowed = 1; !pending.empty();) {
            const std::string name = std::move(pending.front());
            pending.pop_front();
            if (name == ".") continue;
            if (name == "..") {
                if (depth_ == 0) return false;
                --depth_;
                if (onDisk_) enter("..");
                continue;
            }
            if (!onDisk_) {
                ++depth_;
                continue;
            }
            if (!isLink(name)) continue;
            // Past the bound the kernel gives up too: the link resolves nowhere, like a dangling one.
            if (++linksFollowed > kMostLinksFollowed) return true;
            const std::string inner = symlinkTarget(here_.get(), name.c_str(), link_.path);
            if (inner.starts_with('/')) return false;
            const auto innerNames = namesOf(inner);
            pending.insert(pending.begin(), innerNames.begin(), innerNames.end());
        }
        return true;
    }

private:
    /// Steps onto `name`: into it when it is a folder; a missing name or one
    /// that is not a folder leaves the rest to be taken as text. A link is not
    /// stepped onto but reported, to be followed.
    bool isLink(const std::string& name) {
        struct stat status {};
        if (::fstatat(here_.get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT && errno != ENOTDIR) throwErrno("Could not resolve", link_.path);
            status.st_mode = 0;
        }
        if (S_ISLNK(status.st_mode)) return true;
        ++depth_;
        onDisk_ = S_ISDIR(status.st_mode);
        if (onDisk_) enter(name.c_str());
        return false;
    }

    void enter(const char* name) {
        here_ = posix::UniqueFd(::openat(here_.get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!here_.valid()) throwErrno("Could not resolve", link_.path);
    }

    const TreeEntry& link_;
    posix::UniqueFd here_;
    std::size_t depth_;
    bool onDisk_ = true;
};

} // namespace

bool linkLeavesBundle(const TreeEntry& link) {
    const std::string target = symlinkTarget(link.folder, link.name, link.path);
    return !Resolution(link).staysInside(target);
}

} // namespace hosttools
