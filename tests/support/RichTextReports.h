#pragma once
// Every report a test makes goes to one rich-text sink (the report window's) that the test
// reads: install() in the test's init(), remove() in its cleanup().
#include "export/MSWord.h"
#include "export/RichTextSink.h"

#include <memory>

class RichTextReports {
public:
    void install()
    {
        sink = std::make_shared<RichTextSink>();
        std::shared_ptr<RichTextSink> s = sink;
        TMSWord::setSinkFactory([s] { return s; });
    }
    void remove()
    {
        TMSWord::setSinkFactory({});
        sink.reset();
    }

    std::shared_ptr<RichTextSink> sink;
};
