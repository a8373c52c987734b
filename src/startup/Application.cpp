// SPDX-License-Identifier: GPL-3.0-or-later
#include "Application.h"

#include "AppModul.h"
#include "RunningCopy.h"
#include "bar/Bar.h"
#include "core/Form.h"

#include <QCoreApplication>

Application::~Application()
{
    AppModul::CloseSession();
    FormRegistry::DestroyAll();
    m_engine.stop();
}

std::optional<int> Application::start()
{
    AppModul::BarHooks bar;
    bar.show = [this] { TheForm<Bar>(m_deck).show(); };
    bar.raise = [this] { ShowRaised(TheForm<Bar>(m_deck)); };
    bar.hide = [this] { TheForm<Bar>(m_deck).hide(); };
    bar.close = [this] { TheForm<Bar>(m_deck).close(); };
    return AppModul::Main(bar, QCoreApplication::applicationFilePath());
}
