#include "tarvane/shell/handoff_server.h"

#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <QVariant>

namespace tarvane {

namespace {

constexpr int kMessageTimeLimitMs = 10000;

std::uint64_t ReadLe(const QByteArray& bytes, int offset, int size) {
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
    }
    return value;
}

}  // namespace

HandoffServer::HandoffServer(Handlers handlers, QObject* parent) : QObject(parent), handlers_(std::move(handlers)) {
    connect(&server_, &QLocalServer::newConnection, this, &HandoffServer::OnConnection);
}

HandoffServer::~HandoffServer() {
    Close();
}

bool HandoffServer::Listen(const std::string& socketPath) {
    if (socketPath.empty()) {
        return false;
    }
    QString path = QString::fromStdString(socketPath);
    QLocalServer::removeServer(path);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(path)) {
        return false;
    }
    path_ = socketPath;
    return true;
}

void HandoffServer::Close() {
    if (server_.isListening()) {
        server_.close();
    }
}

void HandoffServer::OnConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadable(socket); });
        // A sender that never completes its message does not keep the connection.
        QPointer<QLocalSocket> guard(socket);
        QTimer::singleShot(kMessageTimeLimitMs, socket, [guard] {
            if (guard && guard->property("handled").isNull()) {
                guard->abort();
            }
        });
    }
}

void HandoffServer::OnReadable(QLocalSocket* socket) {
    if (!socket->property("handled").isNull()) {
        return;
    }
    if (socket->bytesAvailable() < static_cast<qint64>(platform::kHandoffHeaderSize)) {
        return;
    }
    QByteArray header = socket->peek(platform::kHandoffHeaderSize);
    auto type = static_cast<std::uint8_t>(header[0]);
    std::uint64_t length = ReadLe(header, 1, 4);
    bool known = type == static_cast<std::uint8_t>(platform::HandoffMessage::CopyData) ||
                 type == static_cast<std::uint8_t>(platform::HandoffMessage::BringForward);
    if (!known || length > platform::kHandoffMaxPayload) {
        socket->setProperty("handled", true);
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < static_cast<qint64>(platform::kHandoffHeaderSize + length)) {
        return;
    }
    socket->read(platform::kHandoffHeaderSize);
    QByteArray payload = socket->read(static_cast<qint64>(length));
    socket->setProperty("handled", true);

    QPointer<QLocalSocket> guard(socket);
    if (type == static_cast<std::uint8_t>(platform::HandoffMessage::BringForward)) {
        if (handlers_.bringForward) {
            handlers_.bringForward();
        }
    } else if (payload.size() >= 8) {
        // Copied out of the message before anything uses it.
        auto record = platform::DecodeLinkHandoff(std::string_view(payload.constData() + 8, payload.size() - 8));
        if (record && handlers_.copyData) {
            handlers_.copyData(ReadLe(payload, 0, 8), *record);
        }
    }
    if (guard) {
        char ack = static_cast<char>(platform::kHandoffAck);
        guard->write(&ack, 1);
        guard->flush();
        guard->disconnectFromServer();
    }
}

}  // namespace tarvane
