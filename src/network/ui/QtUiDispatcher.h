#pragma once

#include "network/NetworkPanel.h"

#include <QObject>
#include <functional>

namespace kestrola::ui {

/// Carries work from other threads over to the thread it was created on (the user-interface
/// thread) as a blocking queued call; work from that thread itself runs at once.
class QtUiDispatcher : public core::UiDispatcher {
public:
    QtUiDispatcher();
    ~QtUiDispatcher() override;
    QtUiDispatcher(const QtUiDispatcher&) = delete;
    QtUiDispatcher& operator=(const QtUiDispatcher&) = delete;

    void Invoke(const std::function<void()>& work) override;

private:
    QObject* m_receiver;
};

} // namespace kestrola::ui
