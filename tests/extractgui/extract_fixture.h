#pragma once

// The real main window offscreen, made afresh for each test, with small
// movies and projectors written into the test's work folder.

#include "extract/swf_bytes.h"
#include "extract/temp_files.h"
#include "support/main_form_fixture.h"
#include "swf/writer.h"

#include <QFileInfo>

namespace plovex::test {

class ExtractFixture : public MainFormFixture {
protected:
    void SetUp() override
    {
        MainFormFixture::SetUp();
        form = std::make_unique<TMFrm>();
    }

    QString programFile(const QString& name) const { return programDir.filePath(name); }
    TMFrm& f() { return *form; }
};

} // namespace plovex::test
