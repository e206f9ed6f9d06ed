#pragma once

#include <QByteArray>
#include <QTcpServer>

#include <map>
#include <string>
#include <vector>

namespace bundlekiln::app::testing {

/// A small HTTP/1.1 server on 127.0.0.1 inside the test process, served by
/// the main thread's event loop: each path gets its canned answer, anything
/// else a 404, and every request path is recorded.
class LoopbackServer {
public:
    /// How an answer ends: with the whole body, or after announcing the whole
    /// body and sending half of it, by dropping the connection or by sending
    /// nothing more on it.
    enum class Ending { whole, dropHalfway, stallHalfway };

    struct Answer {
        int status = 200;
        QByteArray body;
        /// Further header lines, each ending in "\r\n".
        QByteArray headers;
        Ending ending = Ending::whole;
    };

    LoopbackServer();

    void answer(const std::string& path, Answer answer) { answers_[path] = std::move(answer); }
    /// "http://127.0.0.1:" + the port it listens on.
    std::string base() const;

    std::vector<std::string> requests;

private:
    void serve(QTcpSocket* socket);
    void respond(QTcpSocket* socket, const std::string& path);

    QTcpServer server_;
    std::map<std::string, Answer> answers_;
};

} // namespace bundlekiln::app::testing
