#include "network/ui/QtUiDispatcher.h"

#include <QMetaObject>
#include <QThread>

namespace kestrola::ui {

QtUiDispatcher::QtUiDispatcher() : m_receiver(new QObject()) {}

QtUiDispatcher::~QtUiDispatcher() {
    // The last owner may be a scan thread; the receiver belongs to the user-interface thread.
    if (QThread::currentThread() == m_receiver->thread())
        delete m_receiver;
    else
        m_receiver->deleteLater();
}

void QtUiDispatcher::Invoke(const std::function<void()>& work) {
    if (QThread::currentThread() == m_receiver->thread()) {
        work();
        return;
    }
    // The calling thread waits until the user-interface thread has run the work, so the work
    // may use the caller's locals, and changes happen in the order they are handed over.
    QMetaObject::invokeMethod(
        m_receiver, [&work] { work(); }, Qt::BlockingQueuedConnection);
}

} // namespace kestrola::ui
