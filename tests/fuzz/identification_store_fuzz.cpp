// Any bytes as "pelmark.ini": the box gets a line without its line end, and saving the box and
// reading it back gives the identification normalised.
#include "fakes.hpp"
#include "store/identification_store.hpp"

using namespace corvalis;

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    test::FakeFileSystem files;
    test::FakeView view;
    store::IdentificationStore store(files, "app", view);
    files.files_[store.filePath()].assign(reinterpret_cast<const char*>(data), size);
    store.tratarIni(true);
    const std::string saved = store::normaliseIdentification(view.box_);
    const bool oneLine = view.box_.find_first_of("\r\n") == std::string::npos;
    store.tratarIni(false);
    store.tratarIni(true);
    const bool ok = oneLine && view.box_ == saved && view.messages_.empty();
    return ok ? 0 : (__builtin_trap(), 0);
}
