// varnel-templates FOLDER: writes the pane template documents into FOLDER.
#include "hwp/writer.h"
#include "tools/templates/template_documents.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: varnel-templates FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    for (const std::string& name : templates::TemplateFileNames()) {
        try {
            hwp::WriteDocument(templates::MakeTemplateDocument(name), folder + "/" + name);
        } catch (const hwp::HwpError& error) {
            std::fprintf(stderr, "varnel-templates: %s: %s\n", name.c_str(), error.what());
            return 1;
        }
    }
    return 0;
}
