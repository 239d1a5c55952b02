#include "sim/module_server.h"

#include <QFile>
#include <QSaveFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <cstdio>
#include <limits>

#include "core/standard_text.h"
#include "sim/module_state.h"

namespace rzl::sim {

namespace {

constexpr int kMaxFrameBytes = 4096;
constexpr int kMaxConnections = 64;      // more at once are turned away
constexpr int kMaxStreams = 4;           // content streams at once: the rest stays for requests
constexpr int kMaxKeptFrames = 10000;    // the oldest received frames are forgotten first,
constexpr qsizetype kMaxKeptBytes = 1024 * 1024;  // and when the frames hold more than this
constexpr int kSettleMs = 150;
constexpr int kReplyLeavesMs = 100;
constexpr int kSaveDelayMs = 200;

// Where the reported address comes from: the option, else a specific IPv4 listen address.
std::optional<std::array<std::uint8_t, 4>> ReportedAddress(const SimOptions& o) {
    if (o.reportedAddress)
        return o.reportedAddress;
    bool ok = false;
    const quint32 v4 = o.listenAddress.toIPv4Address(&ok);
    if (!ok || v4 == 0)
        return std::nullopt;
    return std::array<std::uint8_t, 4>{std::uint8_t(v4 >> 24), std::uint8_t(v4 >> 16), std::uint8_t(v4 >> 8),
                                       std::uint8_t(v4)};
}

bool IsSignaturePrefix(const QByteArray& bytes) {
    const int n = std::min<int>(bytes.size(), kSignature.size());
    return bytes.left(n) == kSignature.left(n);
}

QString Hex(const QByteArray& bytes) {
    const int shown = std::min<int>(bytes.size(), 256);
    QString text = QString::fromLatin1(bytes.left(shown).toHex(' ').toUpper());
    if (shown < bytes.size())
        text += QStringLiteral(" ... (%1 bytes)").arg(bytes.size());
    return text;
}

}  // namespace

void LogLine(const QString& line) {
    WriteStandardText(stderr, QStringLiteral("rzl-sim: ") + line + QLatin1Char('\n'));
}

ModuleServer::ModuleServer(SimOptions options, std::shared_ptr<SharedRecord> shared)
    : options_(std::move(options)), shared_(std::move(shared)) {}

ModuleServer::~ModuleServer() = default;

bool ModuleServer::listen() {
    QString patternError;
    if (!ParseInputsPattern(options_.inputsPattern, inputPeriods_, &patternError)) {
        error_ = patternError;
        return false;
    }
    if (!loadStateFile())
        return false;

    saveTimer_ = new QTimer(this);
    saveTimer_->setSingleShot(true);
    saveTimer_->setInterval(kSaveDelayMs);
    connect(saveTimer_, &QTimer::timeout, this, &ModuleServer::saveNow);

    server_ = new QTcpServer(this);
    server_->setMaxPendingConnections(64);
    if (!server_->listen(options_.listenAddress, options_.port)) {
        error_ = QStringLiteral("cannot listen on %1:%2: %3")
                     .arg(options_.listenAddress.toString())
                     .arg(options_.port)
                     .arg(server_->errorString());
        return false;
    }
    port_ = server_->serverPort();
    connect(server_, &QTcpServer::newConnection, this, &ModuleServer::onNewConnection);

    for (int input = 0; input < 8; ++input) {
        if (inputPeriods_[input] <= 0)
            continue;
        auto* timer = new QTimer(this);
        timer->setInterval(inputPeriods_[input]);
        connect(timer, &QTimer::timeout, this, [this, input] { toggleInput(input); });
        timer->start();
        inputTimers_.append(timer);
    }
    return true;
}

void ModuleServer::shutdown() {
    stopping_ = true;
    for (QTimer* t : inputTimers_)
        t->stop();
    if (server_)
        server_->close();
    const auto sockets = connections_.keys();
    for (QTcpSocket* socket : sockets)
        finish(socket);
    if (saveTimer_ && saveTimer_->isActive()) {
        saveTimer_->stop();
        saveNow();
    }
}

void ModuleServer::scheduleSave() {
    if (!options_.stateFile.isEmpty() && saveTimer_ && !saveTimer_->isActive())
        saveTimer_->start();
}

bool ModuleServer::loadStateFile() {
    QMutexLocker lock(&shared_->mutex);
    if (!options_.stateFile.isEmpty() && QFile::exists(options_.stateFile)) {
        QFile file(options_.stateFile);
        if (!file.open(QIODevice::ReadOnly)) {
            error_ = QStringLiteral("cannot read %1: %2").arg(options_.stateFile, file.errorString());
            return false;
        }
        if (file.size() > kMaxStateFileBytes) {
            error_ = QStringLiteral("%1: %2 bytes, more than any state file rzl-sim writes").arg(options_.stateFile).arg(file.size());
            return false;
        }
        QString why;
        if (!StateFromJson(file.readAll(), shared_->state, &why)) {
            error_ = QStringLiteral("%1: %2").arg(options_.stateFile, why);
            return false;
        }
    }
    if (options_.model)
        shared_->state.model = *options_.model;
    if (auto address = ReportedAddress(options_))
        shared_->state.address = *address;
    return true;
}

void ModuleServer::saveNow() {
    if (options_.stateFile.isEmpty())
        return;
    QByteArray json;
    {
        QMutexLocker lock(&shared_->mutex);
        json = StateToJson(shared_->state);
    }
    QSaveFile file(options_.stateFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit())
        LogLine(QStringLiteral("cannot write the state file %1: %2").arg(options_.stateFile, file.errorString()));
}

void ModuleServer::toggleInput(int input) {
    const std::uint8_t bit = std::uint8_t(1u << input);
    {
        QMutexLocker lock(&shared_->mutex);
        ModuleState& s = shared_->state;
        if (!(MasksForModel(s.model).inputs & bit))
            return;
        const bool rising = !(s.diBits & bit);
        s.diBits ^= bit;
        if (rising)
            ++s.counters[input];
    }
    scheduleSave();
}

void ModuleServer::onNewConnection() {
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        FaultMode fault;
        {
            QMutexLocker lock(&shared_->mutex);
            ++shared_->connections;
            fault = shared_->fault;
        }
        if (connections_.size() >= kMaxConnections) {
            LogLine(QStringLiteral("more than %1 connections at once: one turned away").arg(kMaxConnections));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        if (fault == FaultMode::Close) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        flushShortFrames();
        settleContentStreams();
        Connection c;
        if (pendingUpload_) {
            if (pendingSince_.elapsed() <= options_.uploadWaitMs)
                c.kind = Kind::Undecided;
            else {
                LogLine(QStringLiteral("content for \"%1\" never came").arg(QString::fromLatin1(pendingUpload_->name)));
                pendingUpload_.reset();
            }
        }
        c.deadline = new QTimer(socket);
        c.deadline->setSingleShot(true);
        c.deadline->setInterval(options_.idleTimeoutMs);
        connect(c.deadline, &QTimer::timeout, socket, [this, socket] {
            auto found = connections_.find(socket);
            if (found == connections_.end())
                return;
            if (found->kind != Kind::Content && !found->answered && !found->buffer.isEmpty())
                LogLine(QStringLiteral("incomplete frame dropped: %1").arg(Hex(found->buffer)));
            finish(socket);
        });
        c.deadline->start();
        connections_.insert(socket, c);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { onDisconnected(socket); });
        if (socket->bytesAvailable() > 0)
            onReadyRead(socket);
    }
}

// A sender that opens a new connection is done with its earlier ones: a file header still
// waiting to see whether it is 40 or 60 bytes long is 40 bytes long.
void ModuleServer::keepFrame(const QByteArray& frame) {
    if (!shared_->keepsArrivals)
        return;
    // A copy of its own bytes: the frame may share the read buffer and its spare room.
    const QByteArray copy(frame.constData(), frame.size());
    {
        QMutexLocker lock(&shared_->mutex);
        QList<QByteArray>& kept = shared_->received;
        while (!kept.isEmpty()
               && (kept.size() >= kMaxKeptFrames || shared_->receivedBytes + copy.size() > kMaxKeptBytes)) {
            shared_->receivedBytes -= kept.first().size();
            kept.removeFirst();
        }
        kept.append(copy);
        shared_->receivedBytes += copy.size();
    }
    Arrival arrival;
    arrival.frame = copy;
    keepArrival(arrival);
}

// The same bounds as the frames: as many, and bytes within the same limit.
void ModuleServer::keepArrival(const Arrival& arrival) {
    QMutexLocker lock(&shared_->mutex);
    if (!shared_->keepsArrivals)
        return;
    QList<Arrival>& kept = shared_->arrivals;
    while (!kept.isEmpty()
           && (kept.size() >= kMaxKeptFrames || shared_->arrivalBytes + arrival.frame.size() > kMaxKeptBytes)) {
        shared_->arrivalBytes -= kept.first().frame.size();
        kept.removeFirst();
    }
    kept.append(arrival);
    shared_->arrivalBytes += arrival.frame.size();
}

void ModuleServer::flushShortFrames() {
    const auto sockets = connections_.keys();
    for (QTcpSocket* socket : sockets) {
        auto it = connections_.find(socket);
        if (it != connections_.end() && !it->answered && !it->finished && it->settle && it->settle->isActive())
            handleFrame(socket, *it, it->buffer.left(ShortRequestLength(it->buffer)));
    }
}

// A sender closes a file's content connection before it opens its next one, and loopback keeps
// that order, but the close may not have been read yet: read it now, so that the file is
// complete (and listed) before the next request is taken.
void ModuleServer::settleContentStreams() {
    constexpr int kMaxReads = 4096;  // a stream that is still flowing is left to the event loop
    const auto open = [this](QTcpSocket* socket) {
        auto it = connections_.find(socket);
        return it != connections_.end() && !it->finished && it->kind != Kind::Frame;
    };
    const auto sockets = connections_.keys();
    for (QTcpSocket* socket : sockets) {
        for (int reads = 0; reads < kMaxReads && open(socket); ++reads) {
            if (!socket->waitForReadyRead(0))
                break;
        }
    }
}

void ModuleServer::onReadyRead(QTcpSocket* socket) {
    auto it = connections_.find(socket);
    if (it == connections_.end() || it->finished)
        return;
    Connection& c = *it;
    if (c.kind == Kind::Content) {
        takeContentBytes(c, socket->readAll());
        c.deadline->start();  // a stream stays open while it flows, within its own deadline
        return;
    }
    if (c.answered) {
        socket->readAll();  // anything after the frame is not looked at
        return;
    }
    c.buffer.append(socket->read(kMaxFrameBytes + 1 - c.buffer.size()));
    if (c.kind == Kind::Undecided)
        decideKind(socket, c, false);
    if (c.kind == Kind::Content && socket->bytesAvailable() > 0)
        takeContentBytes(c, socket->readAll());  // no further signal comes for what is buffered
    if (c.kind == Kind::Frame)
        takeFrameBytes(socket, c, false);
}

void ModuleServer::onDisconnected(QTcpSocket* socket) {
    auto it = connections_.find(socket);
    if (it == connections_.end() || it->finished)
        return;
    Connection& c = *it;
    const QByteArray rest = socket->readAll();
    if (c.kind == Kind::Content)
        takeContentBytes(c, rest);
    else if (!c.answered) {
        c.buffer.append(rest.left(kMaxFrameBytes + 1 - c.buffer.size()));
        if (c.kind == Kind::Undecided)
            decideKind(socket, c, true);
        if (c.kind == Kind::Frame)
            takeFrameBytes(socket, c, true);
        else if (c.kind == Kind::Content)
            takeContentBytes(c, {});
    }
    finish(socket);
}

// A connection opened while content is announced carries that content, unless it opens with
// the signature: then it is a request made in the meantime, and the content is still awaited.
void ModuleServer::decideKind(QTcpSocket* socket, Connection& c, bool closing) {
    Q_UNUSED(socket);
    if (!pendingUpload_ || (c.buffer.size() >= kSignature.size() && c.buffer.startsWith(kSignature))) {
        c.kind = Kind::Frame;
        return;
    }
    if (!closing && IsSignaturePrefix(c.buffer))
        return;  // too few bytes to tell
    c.kind = Kind::Content;
    c.upload = *pendingUpload_;
    pendingUpload_.reset();
    startStream(socket, c);
    const QByteArray bytes = c.buffer;
    c.buffer.clear();
    takeContentBytes(c, bytes);
}

int ModuleServer::openStreams() const {
    int n = 0;
    for (const Connection& c : connections_)
        n += c.kind == Kind::Content && !c.finished ? 1 : 0;
    return n;
}

// Content streams share the connection limit with requests, so a file header is refused while
// kMaxStreams streams are open, and each stream has an overall deadline that its announced
// length justifies: a trickle that renews the idle deadline byte by byte does not last.
void ModuleServer::startStream(QTcpSocket* socket, Connection& c) {
    const qint64 length = c.upload.refused ? 0 : qint64(c.upload.length);
    const qint64 allowedMs = options_.contentGraceMs + length * 1000 / std::max(1, options_.contentMinBytesPerSecond);
    c.streamDeadline = new QTimer(socket);
    c.streamDeadline->setSingleShot(true);
    connect(c.streamDeadline, &QTimer::timeout, socket, [this, socket, allowedMs] {
        auto found = connections_.find(socket);
        if (found == connections_.end())
            return;
        LogLine(QStringLiteral("content for \"%1\" too slow: %2 bytes in %3 ms")
                    .arg(QString::fromLatin1(found->upload.name))
                    .arg(found->contentBytes)
                    .arg(allowedMs));
        finish(socket);
    });
    c.streamDeadline->start(int(std::min<qint64>(allowedMs, std::numeric_limits<int>::max())));
}

void ModuleServer::takeFrameBytes(QTcpSocket* socket, Connection& c, bool closing) {
    if (c.buffer.isEmpty())
        return;
    if (!IsSignaturePrefix(c.buffer)) {
        keepFrame(c.buffer.left(kMaxFrameBytes));
        finish(socket, QStringLiteral("frame without signature refused: %1").arg(Hex(c.buffer)));
        return;
    }
    const int length = RequestLength(c.buffer);
    if (length == 0) {  // an unknown code: its length cannot be told, so the frame ends here
        handleFrame(socket, c, c.buffer.left(5));
        return;
    }
    if (length > 0 && c.buffer.size() >= length) {
        handleFrame(socket, c, c.buffer.left(length));
        return;
    }
    const int shortLength = ShortRequestLength(c.buffer);
    if (shortLength > 0 && c.buffer.size() >= shortLength) {
        if (closing) {
            handleFrame(socket, c, c.buffer.left(shortLength));
            return;
        }
        if (!c.settle) {
            c.settle = new QTimer(socket);
            c.settle->setSingleShot(true);
            connect(c.settle, &QTimer::timeout, socket, [this, socket, shortLength] {
                auto found = connections_.find(socket);
                if (found != connections_.end() && !found->answered && !found->finished)
                    handleFrame(socket, *found, found->buffer.left(shortLength));
            });
        }
        c.settle->start(kSettleMs);
        return;
    }
    if (c.buffer.size() > kMaxFrameBytes) {
        finish(socket, QStringLiteral("frame longer than %1 bytes refused").arg(kMaxFrameBytes));
        return;
    }
    if (closing && !c.buffer.isEmpty()) {
        keepFrame(c.buffer);
        LogLine(QStringLiteral("incomplete frame dropped: %1").arg(Hex(c.buffer)));
    }
}

void ModuleServer::handleFrame(QTcpSocket* socket, Connection& c, const QByteArray& frame) {
    const bool streamsFull = AnnouncesContent(frame) && openStreams() >= kMaxStreams;
    c.answered = true;
    if (c.settle)
        c.settle->stop();
    if (options_.verbose)
        LogLine(QStringLiteral("<- %1").arg(Hex(frame)));
    if (c.buffer.size() > frame.size())
        LogLine(QStringLiteral("%1 bytes after the frame ignored").arg(c.buffer.size() - frame.size()));

    keepFrame(frame);
    FaultMode fault;
    FrameOutcome outcome;
    {
        QMutexLocker lock(&shared_->mutex);
        fault = shared_->fault;
        if (fault == FaultMode::Reject)
            outcome = RefuseFrame(frame);
        else if (fault == FaultMode::Silent)
            ;  // read and never answered: nothing changes
        else if (streamsFull) {
            // No content is awaited, so a content connection that follows is turned away at once.
            outcome.reply = MakeReply(std::uint8_t(frame.at(4)), kRefused);
            outcome.refusal = QStringLiteral("file header refused: %1 content streams are open").arg(kMaxStreams);
        } else
            outcome = HandleFrame(frame, shared_->state, fault == FaultMode::Stuck);
    }
    if (!outcome.refusal.isEmpty())
        LogLine(outcome.refusal);
    if (outcome.stateChanged)
        scheduleSave();
    if (outcome.upload) {
        pendingUpload_ = outcome.upload;
        pendingSince_.start();
    }
    if (fault == FaultMode::Silent)
        return;  // the deadline closes the connection
    sendReply(socket, c, outcome.reply, fault);
    if (outcome.restarts && options_.bootMs > 0 && !restarting_) {
        restarting_ = true;
        // A moment for the reply to leave before every connection drops.
        QTimer::singleShot(kReplyLeavesMs, this, [this] {
            restartModule(options_.bootMs, QStringLiteral("restarting, away for %1 ms").arg(options_.bootMs));
        });
    }
}

void ModuleServer::sendReply(QTcpSocket* socket, Connection& c, QByteArray reply, FaultMode fault) {
    if (reply.isEmpty() || socket->state() != QAbstractSocket::ConnectedState) {
        if (socket->state() == QAbstractSocket::ConnectedState)
            socket->disconnectFromHost();
        return;
    }
    if (fault == FaultMode::Garbage)
        reply.replace(0, kSignature.size(), QByteArray::fromHex("A5CA885A"));
    if (options_.verbose)
        LogLine(QStringLiteral("-> %1").arg(Hex(reply)));

    // Closing may end the connection at once, so the deadline is set first: a peer that never
    // closes is still let go.
    const int delayMs = fault == FaultMode::Slow ? options_.slowDelayMs
        : fault == FaultMode::Split                ? options_.splitPauseMs
                                                   : 0;
    c.deadline->start(options_.idleTimeoutMs + delayMs);
    const auto writeAndClose = [socket](const QByteArray& bytes) {
        if (socket->state() != QAbstractSocket::ConnectedState)
            return;
        socket->write(bytes);
        socket->disconnectFromHost();
    };
    if (fault == FaultMode::Slow) {
        QTimer::singleShot(delayMs, socket, [writeAndClose, reply] { writeAndClose(reply); });
    } else if (fault == FaultMode::Split && reply.size() > 1) {
        const int half = reply.size() / 2;
        socket->write(reply.left(half));
        socket->flush();
        QTimer::singleShot(delayMs, socket, [writeAndClose, rest = reply.mid(half)] { writeAndClose(rest); });
    } else {
        writeAndClose(reply);
    }
}

void ModuleServer::takeContentBytes(Connection& c, const QByteArray& bytes) {
    c.contentBytes += bytes.size();
    for (char ch : bytes)
        c.receivedSum += static_cast<unsigned char>(ch);
    if (!restarting_ && !c.upload.refused && c.contentBytes > 0 && c.contentBytes >= qint64(c.upload.length) / 2) {
        QMutexLocker lock(&shared_->mutex);
        if (shared_->fault == FaultMode::Restart) {
            // Later, so the connection being read is not torn down under its reader.
            restarting_ = true;
            QTimer::singleShot(0, this, [this] { restartModule(options_.restartMs, QStringLiteral("restarting in the middle of a content stream")); });
        }
    }
    if (c.upload.refused || c.contentBytes > qint64(c.upload.length))
        return;  // dropped; the count tells the story at the end
    for (char ch : bytes)
        c.contentSum += static_cast<unsigned char>(ch);
    c.buffer.append(bytes);
}

void ModuleServer::finishContent(Connection& c) {
    Arrival arrival;
    arrival.kind = Arrival::Content;
    arrival.fileName = c.upload.name;
    arrival.length = c.contentBytes;
    arrival.sum = std::uint32_t(c.receivedSum);
    keepArrival(arrival);
    const QString name = QString::fromLatin1(c.upload.name);
    if (c.upload.refused) {
        LogLine(QStringLiteral("content of a refused file header dropped (%1 bytes)").arg(c.contentBytes));
        return;
    }
    if (restarting_) {  // what a stream brought until the restart is not kept, however much it was
        LogLine(QStringLiteral("content for \"%1\" lost in the restart (%2 of %3 bytes)")
                    .arg(name)
                    .arg(c.contentBytes)
                    .arg(c.upload.length));
        return;
    }
    if (c.contentBytes != qint64(c.upload.length)) {
        LogLine(QStringLiteral("content for \"%1\" refused: %2 bytes instead of %3")
                    .arg(name)
                    .arg(c.contentBytes)
                    .arg(c.upload.length));
        return;
    }
    if (std::uint32_t(c.contentSum) != c.upload.sum) {
        LogLine(QStringLiteral("content for \"%1\" refused: byte sum %2 instead of %3")
                    .arg(name)
                    .arg(std::uint32_t(c.contentSum))
                    .arg(c.upload.sum));
        return;
    }
    {
        QMutexLocker lock(&shared_->mutex);
        // The store may have filled while the content flowed.
        if (const QString why = StoreRefusal(shared_->state, c.upload.name, c.buffer.size()); !why.isEmpty()) {
            lock.unlock();
            LogLine(QStringLiteral("content for \"%1\" refused: %2").arg(name, why));
            return;
        }
        c.buffer.squeeze();
        shared_->state.files.insert(name, c.buffer);
    }
    if (options_.verbose)
        LogLine(QStringLiteral("stored \"%1\" (%2 bytes)").arg(name).arg(c.buffer.size()));
    scheduleSave();
}

void ModuleServer::finish(QTcpSocket* socket, const QString& why) {
    auto it = connections_.find(socket);
    if (it == connections_.end() || it->finished)
        return;
    it->finished = true;
    if (it->kind == Kind::Content)
        finishContent(*it);
    else if (!why.isEmpty())
        LogLine(why);
    connections_.erase(it);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

// A restart: every connection drops, the port stays closed for a while, the settings files take
// effect, and the module listens again on the same port.
void ModuleServer::restartModule(int awayMs, const QString& why) {
    if (stopping_)
        return;
    LogLine(why);
    server_->close();
    pendingUpload_.reset();
    const auto sockets = connections_.keys();
    for (QTcpSocket* socket : sockets)
        finish(socket);
    {
        QMutexLocker lock(&shared_->mutex);
        ApplySettingsFiles(shared_->state);
    }
    scheduleSave();
    QTimer::singleShot(awayMs, this, [this] {
        restarting_ = false;
        if (stopping_)
            return;
        if (!server_->listen(options_.listenAddress, port_))
            LogLine(QStringLiteral("cannot listen again after the restart: %1").arg(server_->errorString()));
    });
}

bool ParseInputsPattern(const QString& pattern, std::array<int, 8>& periodsMs, QString* error) {
    std::array<int, 8> periods{};
    const QStringList items = pattern.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& raw : items) {
        const QString item = raw.trimmed();
        const QStringList parts = item.split(QLatin1Char(':'));
        bool ok = parts.size() == 2 && parts[0].size() == 3 && parts[0].startsWith(QLatin1String("DI"), Qt::CaseInsensitive);
        const int input = ok ? parts[0].mid(2).toInt(&ok) : -1;
        const int period = ok ? parts[1].toInt(&ok) : 0;
        if (!ok || input < 0 || input > 7 || period < 1) {
            if (error)
                *error = QStringLiteral("input pattern item \"%1\" is not DIn:milliseconds (n 0 to 7)").arg(item);
            return false;
        }
        periods[input] = period;
    }
    periodsMs = periods;
    return true;
}

}  // namespace rzl::sim
