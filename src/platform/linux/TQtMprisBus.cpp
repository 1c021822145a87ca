#include "platform/linux/TQtMprisBus.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

#include <atomic>
#include <memory>
#include <utility>

namespace parlino {
namespace {

const QString ObjectPath = "/org/mpris/MediaPlayer2";
const QString RootInterface = "org.mpris.MediaPlayer2";
const QString PlayerInterface = "org.mpris.MediaPlayer2.Player";
const QString PropertiesInterface = "org.freedesktop.DBus.Properties";

QString NewConnectionName() {
    static std::atomic<int> count{0};
    return QString("parlino-mpris-%1").arg(++count);
}

// The properties of a GetAll answer, whatever way the bus handed them over.
QVariantMap PropertiesOf(const QDBusMessage& message) {
    if (message.arguments().isEmpty()) return {};
    const QVariant first = message.arguments().first();
    if (first.canConvert<QDBusArgument>()) return qdbus_cast<QVariantMap>(first.value<QDBusArgument>());
    return first.toMap();
}

QVariant Unwrap(QVariant value) {
    if (value.canConvert<QDBusVariant>()) return value.value<QDBusVariant>().variant();
    return value;
}

// One state request: the player's properties and the root's CanRaise are
// asked at once; the answer is complete when both have come.
struct TStateRequest {
    TMprisReply Reply;
    int Waiting = 2;
    bool Failed = false;
};

} // namespace

TQtMprisBus::TQtMprisBus() : FName(NewConnectionName()), FBus(FName) { Connect(); }

TQtMprisBus::~TQtMprisBus() { QDBusConnection::disconnectFromBus(FName); }

void TQtMprisBus::Connect() {
    FLastAttempt = std::chrono::steady_clock::now();
    QDBusConnection::disconnectFromBus(FName);
    // The address is read anew on every attempt: the bus library keeps the
    // first session address it saw for the life of the process.
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    FBus = address.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, FName)
                             : QDBusConnection::connectToBus(address, FName);
}

bool TQtMprisBus::Connected() {
    if (!FBus.isConnected() && std::chrono::steady_clock::now() - FLastAttempt > std::chrono::seconds(2)) Connect();
    return FBus.isConnected();
}

void TQtMprisBus::RequestNames() {
    if (!FBus.isConnected()) return;
    const QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                             "org.freedesktop.DBus", "ListNames");
    auto* watcher = new QDBusPendingCallWatcher(FBus.asyncCall(call, TimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusMessage answer = w->reply();
        TMprisReply reply;
        if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().isEmpty()) {
            reply.Kind = TMprisReply::TKind::Failure;
            reply.Error = answer.errorName().toStdString() + ": " + answer.errorMessage().toStdString();
        } else {
            reply.Kind = TMprisReply::TKind::Names;
            for (const QString& name : answer.arguments().first().toStringList())
                if (name.startsWith(RootInterface + ".")) reply.Names.push_back(name.toStdString());
        }
        FReplies.push_back(std::move(reply));
    });
}

void TQtMprisBus::RequestState(const std::string& service) {
    if (!FBus.isConnected()) return;
    const QString name = QString::fromStdString(service);
    auto request = std::make_shared<TStateRequest>();
    request->Reply.Kind = TMprisReply::TKind::State;
    request->Reply.Service = service;
    const auto finish = [this, request] {
        if (--request->Waiting == 0) FReplies.push_back(std::move(request->Reply));
    };

    QDBusMessage getAll = QDBusMessage::createMethodCall(name, ObjectPath, PropertiesInterface, "GetAll");
    getAll << PlayerInterface;
    auto* player = new QDBusPendingCallWatcher(FBus.asyncCall(getAll, TimeoutMs), this);
    connect(player, &QDBusPendingCallWatcher::finished, this, [request, finish](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusMessage answer = w->reply();
        TMprisReply& reply = request->Reply;
        if (answer.type() != QDBusMessage::ReplyMessage) {
            reply.Kind = TMprisReply::TKind::Failure;
            reply.Error = answer.errorName().toStdString() + ": " + answer.errorMessage().toStdString();
            return finish();
        }
        const QVariantMap properties = PropertiesOf(answer);
        const QVariant status = Unwrap(properties.value("PlaybackStatus"));
        if (status.typeId() != QMetaType::QString) {
            reply.Kind = TMprisReply::TKind::Failure;
            reply.Error = "PlaybackStatus is missing or not a text";
            return finish();
        }
        reply.PlaybackStatus = status.toString().toStdString();
        const QVariant position = Unwrap(properties.value("Position"));
        bool ok = false;
        const qlonglong us = position.toLongLong(&ok);
        if (position.isValid() && ok) reply.PositionUs = us;
        const QVariant metadata = Unwrap(properties.value("Metadata"));
        const QVariantMap fields = metadata.canConvert<QDBusArgument>()
                                       ? qdbus_cast<QVariantMap>(metadata.value<QDBusArgument>())
                                       : metadata.toMap();
        reply.Url = Unwrap(fields.value("xesam:url")).toString().toStdString();
        const QVariant volume = Unwrap(properties.value("Volume"));
        if (volume.isValid() && volume.canConvert<double>()) reply.Volume = volume.toDouble();
        reply.CanControl = Unwrap(properties.value("CanControl")).toBool();
        reply.CanPause = Unwrap(properties.value("CanPause")).toBool();
        finish();
    });

    QDBusMessage get = QDBusMessage::createMethodCall(name, ObjectPath, PropertiesInterface, "Get");
    get << RootInterface << QString("CanRaise");
    auto* root = new QDBusPendingCallWatcher(FBus.asyncCall(get, TimeoutMs), this);
    connect(root, &QDBusPendingCallWatcher::finished, this, [request, finish](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusMessage answer = w->reply();
        if (answer.type() == QDBusMessage::ReplyMessage && !answer.arguments().isEmpty())
            request->Reply.CanRaise = Unwrap(answer.arguments().first()).toBool();
        finish();
    });
}

std::vector<TMprisReply> TQtMprisBus::TakeReplies() { return std::exchange(FReplies, {}); }

void TQtMprisBus::Raise(const std::string& service) {
    if (!FBus.isConnected()) return;
    FBus.asyncCall(QDBusMessage::createMethodCall(QString::fromStdString(service), ObjectPath, RootInterface, "Raise"),
                   TimeoutMs);
}

void TQtMprisBus::SetVolume(const std::string& service, double volume) {
    if (!FBus.isConnected()) return;
    QDBusMessage set = QDBusMessage::createMethodCall(QString::fromStdString(service), ObjectPath,
                                                      PropertiesInterface, "Set");
    set << PlayerInterface << QString("Volume") << QVariant::fromValue(QDBusVariant(volume));
    FBus.asyncCall(set, TimeoutMs);
}

void TQtMprisBus::PlayOrPause(const std::string& service, bool play) {
    if (!FBus.isConnected()) return;
    FBus.asyncCall(QDBusMessage::createMethodCall(QString::fromStdString(service), ObjectPath, PlayerInterface,
                                                  play ? "Play" : "Pause"),
                   TimeoutMs);
}

} // namespace parlino
