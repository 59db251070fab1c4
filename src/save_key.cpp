#include "save_key.h"

namespace detect {

key_choice choice_for(const console::key_event& key) {
    if (!key.down) {
        return key_choice::ignore;
    }
    if (key.key == key_enter) {
        return key_choice::close;
    }
    return key.key == key_s && !key.ctrl && !key.alt ? key_choice::save : key_choice::ignore;
}

}  // namespace detect
