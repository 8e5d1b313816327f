#pragma once
#include "forms/Form.h"

namespace pb {

// The About box: modeless, without an owner, one at a time.
class FrmAbout : public Form {
  public:
    FrmAbout();
    void Command1_Click();

    std::unique_ptr<Graphic> Image1, Label1, Label2, Label3, Label4, Line1;
    WindowRef Command1;

    static constexpr const wchar_t* kCaption = L"About Purgebox...";

  private:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    UniqueBitmap picture_;
};

// Shows the About box, creating it first unless one is open already.
FrmAbout& ShowAbout();
// The open About box, or null.
FrmAbout* OpenAbout();

} // namespace pb
