#pragma once
// The process-wide flags of the operation in progress: `Transmitting`, set
// when an operation starts and cleared only by data entry, and the upload's
// state.

#include <QObject>

namespace telvaro {

class TransferState : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    int transmitting() const { return m_transmitting; }
    void setTransmitting(int value)
    {
        if (value == m_transmitting)
            return;
        m_transmitting = value;
        Q_EMIT transmittingChanged(value);
    }
    int uploadState() const { return m_uploadState; }
    void setUploadState(int value) { m_uploadState = value; }

Q_SIGNALS:
    void transmittingChanged(int value);

private:
    int m_transmitting = 0;
    int m_uploadState = 0;
};

} // namespace telvaro
