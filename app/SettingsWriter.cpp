#include "SettingsWriter.h"

bool SettingsWriter::write(const modMain::SetupValues &values)
{
    return writeLocked(values, false);
}

bool SettingsWriter::writeLast(const modMain::SetupValues &values)
{
    return writeLocked(values, true);
}

bool SettingsWriter::writeLocked(const modMain::SetupValues &values, bool last)
{
    const std::lock_guard lock(m_writing);
    if (m_closed && !last)
        return false;
    m_closed = m_closed || last;
    return modMain::WriteSetup(m_path, values);
}

void SettingsWriter::remember(const modMain::SetupValues &values)
{
    const std::lock_guard lock(m_latest);
    m_remembered = values;
}

modMain::SetupValues SettingsWriter::remembered() const
{
    const std::lock_guard lock(m_latest);
    return m_remembered;
}
