#include "instrument/SerialPort.h"

#include <QElapsedTimer>

#include <QFileInfo>
#include <QSerialPort>
#include <algorithm>

#ifndef Q_OS_WIN
#include <sys/file.h>
#endif

TQtSerialPort::TQtSerialPort(TLinkSettings settings) : Settings(settings) {}

TQtSerialPort::~TQtSerialPort() {
    Close();
}

bool TQtSerialPort::Open(const QString& name) {
    Close();
    if (name.isEmpty()) {
        return false;
    }
    QString device = name;
#ifndef Q_OS_WIN
    // One device reached under two names must still be held only once.
    const QFileInfo info(name);
    if (info.isSymLink()) {
        device = info.canonicalFilePath();
        if (device.isEmpty()) {
            return false;
        }
    }
#endif
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(device);
    if (!port->open(QIODevice::ReadWrite)) {
        return false;
    }
#ifndef Q_OS_WIN
    if (::flock(static_cast<int>(port->handle()), LOCK_EX | LOCK_NB) != 0) {
        port->close();
        return false;
    }
#endif
    Port = std::move(port);
    return true;
}

void TQtSerialPort::Setup() {
    if (!Port) {
        return;
    }
    Port->setBaudRate(QSerialPort::Baud115200);
    Port->setDataBits(QSerialPort::Data8);
    Port->setParity(QSerialPort::NoParity);
    Port->setStopBits(QSerialPort::OneStop);
    Port->setFlowControl(QSerialPort::NoFlowControl);
    Port->setDataTerminalReady(true);
    Port->setRequestToSend(true);
    Purge();
}

void TQtSerialPort::Purge() {
    if (Port) {
        Port->clear(QSerialPort::AllDirections);
    }
}

bool TQtSerialPort::WriteByte(std::uint8_t b) {
    if (!Port) {
        return false;
    }
    const char c = static_cast<char>(b);
    if (Port->write(&c, 1) != 1) {
        return false;
    }
    return Port->waitForBytesWritten(Settings.WriteTimeoutMs) || Port->bytesToWrite() == 0;
}

int TQtSerialPort::Read(std::uint8_t* dst, int n, int totalTimeoutMs) {
    if (!Port || n <= 0) {
        return 0;
    }
    QElapsedTimer clock;
    clock.start();
    int got = 0;
    while (got < n) {
        const qint64 r = Port->read(reinterpret_cast<char*>(dst) + got, n - got);
        if (r < 0) {
            break;
        }
        if (r > 0) {
            got += static_cast<int>(r);
            continue;
        }
        const qint64 left = totalTimeoutMs - clock.elapsed();
        if (left <= 0) {
            break;
        }
        if (Settings.WhileWaiting) {
            // Wait in slices and let the caller do its work in between.
            const int slice = static_cast<int>(std::min<qint64>(left, Settings.WaitSliceMs));
            if (!Port->waitForReadyRead(slice) && Port->bytesAvailable() == 0 &&
                Port->error() != QSerialPort::TimeoutError &&
                Port->error() != QSerialPort::NoError) {
                break; // the device failed
            }
            Settings.WhileWaiting();
            continue;
        }
        if (!Port->waitForReadyRead(static_cast<int>(left)) && Port->bytesAvailable() == 0) {
            // Time is up, or the device failed: the answer stays short.
            break;
        }
    }
    return got;
}

void TQtSerialPort::Close() {
    if (Port) {
        Port->close();
        Port.reset();
    }
}

TInstrumentLink::TInstrumentLink(TLinkSettings settings, TPortFactory factory)
    : LinkSettings(settings), Factory(std::move(factory)) {}

std::unique_ptr<TSerialPort> TInstrumentLink::NewPort() const {
    if (Factory) {
        return Factory();
    }
    return std::make_unique<TQtSerialPort>(LinkSettings);
}
