#include "loopback_server.h"

#include <QTcpSocket>

#include <memory>

namespace bundlekiln::app::testing {

LoopbackServer::LoopbackServer() {
    server_.listen(QHostAddress::LocalHost);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) serve(socket);
    });
}

std::string LoopbackServer::base() const {
    return "http://127.0.0.1:" + std::to_string(server_.serverPort());
}

void LoopbackServer::serve(QTcpSocket* socket) {
    auto request = std::make_shared<QByteArray>();
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
        request->append(socket->readAll());
        if (!request->contains("\r\n\r\n")) return;
        const QList<QByteArray> requestLine = request->left(request->indexOf("\r\n")).split(' ');
        request->clear();
        respond(socket, requestLine.value(1).toStdString());
    });
}

void LoopbackServer::respond(QTcpSocket* socket, const std::string& path) {
    requests.push_back(path);
    const auto found = answers_.find(path);
    const Answer answer = found != answers_.end() ? found->second : Answer{404, "not here", {}};
    QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status) + " Canned\r\n";
    head += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    head += answer.headers + "Connection: close\r\n\r\n";
    socket->write(head);
    const bool whole = answer.ending == Ending::whole;
    socket->write(whole ? answer.body : answer.body.left(answer.body.size() / 2));
    socket->flush();
    if (answer.ending == Ending::dropHalfway)
        socket->abort();
    else if (whole)
        socket->disconnectFromHost();
}

} // namespace bundlekiln::app::testing
