// SPDX-License-Identifier: GPL-3.0-or-later
#include "Application.h"

#include "AppModul.h"
#include "RunningCopy.h"
#include "bar/Bar.h"
#include "core/Form.h"

Application::~Application()
{
    FormRegistry::DestroyAll();
    m_engine.stop();
}

std::optional<int> Application::start()
{
    return AppModul::Main([this] { TheForm<Bar>(m_deck).show(); },
                          [this] { ShowRaised(TheForm<Bar>(m_deck)); });
}
