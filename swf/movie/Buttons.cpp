#include "swf/movie/Buttons.h"

#include "swf/format/TagCodes.h"

namespace swf {

std::shared_ptr<const ButtonDef> buildButton(const std::vector<std::pair<int, QByteArray>>& tags, std::uint16_t id)
{
    std::shared_ptr<ButtonDef> button;
    ColorTransform cx;
    for (const auto& [code, body] : tags) {
        Reader reader(body);
        if ((code == TagDefineButton || code == TagDefineButton2) && !button) {
            auto record = readButton(reader, code);
            if (!record.ok())
                return nullptr;
            button = std::make_shared<ButtonDef>(id);
            button->record = record.release();
        } else if (code == TagDefineButtonCxform) {
            auto read = readButtonCxform(reader);
            if (read.ok())
                cx = read.value().second;
        }
    }
    if (button)
        button->colorTransform = cx;
    return button;
}

} // namespace swf
