#include "ui/MainFormUnit.h"

#include <QIcon>
#include <QLocale>

#include <stdexcept>

#include "format/MessageFormat.h"
#include "format/NumberFormat.h"
#include "base/ScopeExit.h"
#include "ui/Accessibility.h"
#include "ui/ProjectionView.h"

namespace quarvel {
namespace {

// ---------------------------------------------------------------------------
// The window's layout, as the form resource stores it (positions and sizes in pixels:
// left, top, width, height), in the order the controls are created. Parents are named;
// events are bound by handler name.

enum class Kind { Splitter, Panel, SpeedButton, PaintBox, RadioGroup, ListView, Chart };

struct LayoutRow {
  const char* name;
  Kind kind;
  const char* parent;
  int left, top, width, height;
  TAlign align;
  bool anchorRightOnly;
  TPanelBevel bevelOuter, bevelInner;
  const char* caption;
  const char* event;  // the handler bound to the control's event
};

constexpr int kClientWidth = 651, kClientHeight = 482;
constexpr TPanelBevel kNone = TPanelBevel::bvNone, kLowered = TPanelBevel::bvLowered;

const LayoutRow kLayout[] = {
    {"Splitter1", Kind::Splitter, "formMain", 0, 177, 651, 3, TAlign::alTop, false, kNone, kNone,
     "", ""},
    {"panelTop", Kind::Panel, "formMain", 0, 0, 651, 29, TAlign::alTop, false, kNone, kNone, "",
     ""},
    {"Panel1", Kind::Panel, "panelTop", 588, 0, 63, 29, TAlign::alRight, false, kNone, kNone, "",
     ""},
    {"btnClose", Kind::SpeedButton, "Panel1", 11, 4, 49, 22, TAlign::alNone, true, kNone, kNone,
     "Close", "btnCloseClick"},
    {"Panel2", Kind::Panel, "formMain", 0, 29, 651, 148, TAlign::alTop, false, kNone, kLowered, "",
     ""},
    {"panelNormal", Kind::Panel, "Panel2", 4, 8, 128, 128, TAlign::alNone, false, kNone, kLowered,
     "", ""},
    {"boxNormal", Kind::PaintBox, "panelNormal", 1, 1, 126, 126, TAlign::alClient, false, kNone,
     kNone, "", "boxNormalPaint"},
    {"grpResolution", Kind::RadioGroup, "Panel2", 148, 8, 128, 128, TAlign::alNone, false, kNone,
     kNone, "grpResolution", "grpResolutionClick"},
    {"Panel3", Kind::Panel, "Panel2", 284, 12, 256, 128, TAlign::alNone, false, kNone, kLowered, "",
     ""},
    {"listGausses", Kind::ListView, "Panel3", 1, 1, 254, 126, TAlign::alClient, false, kNone, kNone,
     "", "listGaussesChange"},
    {"chartMain", Kind::Chart, "formMain", 0, 180, 651, 302, TAlign::alClient, false, kNone,
     kLowered, "", ""},
};

// The program's icon at the sizes rendered from its drawing, compiled in
// (src/ui/CMakeLists.txt); the message boxes and dialogs of the window show it too.
QIcon ProgramIcon() {
  QIcon icon;
  for (const char* size : {"48", "256"}) icon.addFile(QString(":/quarvel/icon/%1.png").arg(size));
  return icon;
}

const std::vector<std::string> kResolutionItems = {"128x128", "256x256", "512x512"};
const std::vector<std::string> kBlobColumns = {"MX", "DX", "MY", "DY"};

}  // namespace

const std::vector<TPhantomBlob>& BuiltInPhantom() {
  static const std::vector<TPhantomBlob> kBlobs = {
      {7.0, 2.0, 12.0, 2.0, true}, {9.0, 3.0, 7.0, 1.0, true}, {15.0, 1.0, 8.0, 3.0, true}};
  return kBlobs;
}

namespace {

std::string ResampleReason(int resolution, const EFitError& fit) {
  const std::string to = "cannot resample to " + kResolutionItems.at(resolution) + ": ";
  if (fit.X1 == fit.X2)
    return to + FormatMessage("two points share X = %g", {static_cast<long double>(fit.X1)});
  return to + FormatMessage("no cubic fits between X = %g and X = %g",
                            {static_cast<long double>(fit.X1), static_cast<long double>(fit.X2)});
}

// The samples have distinct X, so two points with the same X can only meet in the
// second insertion pass, after the first has worked; otherwise only the samples do.
std::string StillWorking(int resolution, const EFitError& fit) {
  return resolution == 2 && fit.X1 == fit.X2 ? "128x128 and 256x256 still work"
                                             : "128x128 still works";
}

std::string Sentence(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 32);
  return text + ".";
}

}  // namespace

EResampleError::EResampleError(int resolution, const EFitError& fit)
    : Exception(Sentence(ResampleReason(resolution, fit)) + "\r\n" + fit.Message() + "\r\n" +
                Sentence(StillWorking(resolution, fit))),
      Reason(ResampleReason(resolution, fit)),
      Values(fit.Message()) {}

void ReadLocaleSeparators() {
  const QLocale locale;  // the user's locale (unless the program set another)
  SetNumberSeparators(locale.decimalPoint().toStdString(), locale.groupSeparator().toStdString());
}

TformMain::TformMain() {
  SetCaption("Quarvel view");
  setWindowIcon(ProgramIcon());
  SetColor(clBtnFace);
  SetFontFace("MS Sans Serif", 11);
  SetClientSize(kClientWidth, kClientHeight);
  // The designed position; window systems that place windows themselves ignore it.
  SetDesignedPosition(459, 122);
  CreateControls();
}

TformMain::~TformMain() {
  FormDestroy(this);
  if (MainBlobRegistry() == this) SetMainBlobRegistry(nullptr);
  seriesMain.reset();
  chartMain.reset();
}

std::unique_ptr<TformMain> TformMain::Create(TApplication& application) {
  auto form = std::make_unique<TformMain>();
  application.SetMainForm(form.get());
  if (application.MainForm() == form.get()) SetMainBlobRegistry(form.get());
  form->FormCreate(form.get());
  return form;
}

std::unique_ptr<TformMain> TformMain::Create(TApplication& application,
                                             std::vector<TPhantomBlob> phantom) {
  auto form = std::make_unique<TformMain>();
  form->StartupPhantom = std::move(phantom);
  application.SetMainForm(form.get());
  if (application.MainForm() == form.get()) SetMainBlobRegistry(form.get());
  RunHandler([&form] { form->FormCreate(form.get()); });
  return form;
}

std::function<void(QWidget*)> TformMain::Handler(const std::string& name) {
  const std::map<std::string, void (TformMain::*)(QWidget*)> handlers = {
      {"FormCreate", &TformMain::FormCreate},
      {"FormDestroy", &TformMain::FormDestroy},
      {"btnCloseClick", &TformMain::btnCloseClick},
      {"listGaussesChange", &TformMain::listGaussesChange},
      {"boxNormalPaint", &TformMain::boxNormalPaint},
  };
  auto it = handlers.find(name);
  if (it == handlers.end()) throw std::logic_error("layout names an unknown handler: " + name);
  return [this, method = it->second](QWidget* sender) { (this->*method)(sender); };
}

// The handlers of an item chosen by index (the radio group's).
std::function<void(QWidget*, int)> TformMain::IndexHandler(const std::string& name) {
  const std::map<std::string, void (TformMain::*)(QWidget*, int)> handlers = {
      {"grpResolutionClick", &TformMain::grpResolutionClick},
  };
  auto it = handlers.find(name);
  if (it == handlers.end()) throw std::logic_error("layout names an unknown handler: " + name);
  return
      [this, method = it->second](QWidget* sender, int index) { (this->*method)(sender, index); };
}

void TformMain::CreateControls() {
  std::map<std::string, TWinControl*> containers = {{"formMain", this}};
  for (const LayoutRow& row : kLayout) {
    TWinControl* parent = containers.at(row.parent);
    QWidget* widget = nullptr;
    switch (row.kind) {
      case Kind::Splitter:
        widget = Splitter1 = new TSplitter(parent);
        break;
      case Kind::Panel: {
        auto* panel = new TPanel(parent);
        panel->SetBevels(row.bevelOuter, row.bevelInner);
        containers[row.name] = panel;
        widget = panel;
        const std::string name = row.name;
        if (name == "panelTop")
          panelTop = panel;
        else if (name == "Panel1")
          Panel1 = panel;
        else if (name == "Panel2")
          Panel2 = panel;
        else if (name == "panelNormal")
          panelNormal = panel;
        else if (name == "Panel3")
          Panel3 = panel;
        break;
      }
      case Kind::SpeedButton:
        widget = btnClose = new TSpeedButton(parent, row.caption);
        btnClose->OnClick = Handler(row.event);
        break;
      case Kind::PaintBox:
        widget = boxNormal = new TPaintBox(parent);
        boxNormal->OnPaint = Handler(row.event);
        break;
      case Kind::RadioGroup:
        widget = grpResolution = new TRadioGroup(parent, row.caption, kResolutionItems);
        grpResolution->SetItemIndex(0);
        grpResolution->OnClick = IndexHandler(row.event);
        break;
      case Kind::ListView:
        widget = listGausses = new TListView(parent, kBlobColumns);
        listGausses->OnChange = Handler(row.event);
        break;
      case Kind::Chart:
        widget = chartMainControl = new TChartControl(parent);
        break;
    }
    widget->setObjectName(row.name);
    parent->Place(widget, {row.left, row.top, row.left + row.width, row.top + row.height},
                  row.align, row.anchorRightOnly);
  }
  // Aligned once all are placed: the order of the top-aligned controls is that of
  // their top edges in the layout.
  for (const auto& [name, container] : containers) container->AlignControls();
  ConfigureChart();
  DescribeControls(*this);
}

void TformMain::ConfigureChart() {
  chartMain = std::make_unique<TChart>(chartMainControl);
  seriesMain = std::make_unique<TLineSeries>();
  ConfigureProjectionChart(*chartMain, *seriesMain);
  seriesMain->AfterDrawValues = [this](TChartSeries* sender) { seriesMainAfterDrawValues(sender); };

  chartMainControl->OnPaint = [this] {
    chartMain->HandlePaint();
    UpdateChartDescription(*this);  // the points and ranges it now shows
  };
  chartMainControl->OnResize = [this] { chartMain->HandleResize(); };
  // The chart answers the mouse itself: zoom, undo, pan and wheel scrolling.
  auto buttonOf = [](int button) {
    return button == 2   ? TMouseButton::mbRight
           : button == 3 ? TMouseButton::mbMiddle
                         : TMouseButton::mbLeft;
  };
  auto shiftOf = [](bool shift, bool doubleClick) {
    return static_cast<TShiftState>((shift ? ssShift : 0u) | (doubleClick ? ssDouble : 0u));
  };
  chartMainControl->OnMouseDown = [this, buttonOf, shiftOf](int button, bool shift,
                                                            bool doubleClick, int x, int y) {
    if (button == 0) return;
    if (doubleClick)
      chartMain->ChartDoubleClick(buttonOf(button), shiftOf(shift, false), x, y);
    else
      chartMain->ChartMouseDown(buttonOf(button), shiftOf(shift, false), x, y);
  };
  chartMainControl->OnMouseMove = [this, shiftOf](bool shift, int x, int y) {
    chartMain->ChartMouseMove(shiftOf(shift, false), x, y);
  };
  chartMainControl->OnMouseUp = [this, buttonOf, shiftOf](int button, bool shift, int x, int y) {
    if (button != 0) chartMain->ChartMouseUp(buttonOf(button), shiftOf(shift, false), x, y);
  };
  chartMainControl->OnWheel = [this](int notches, int, int) {
    for (int i = 0; i < std::abs(notches); ++i) {
      if (notches > 0)
        chartMain->ChartWheelUp();
      else
        chartMain->ChartWheelDown();
    }
  };
  chartMainControl->OnMouseLeave = [this] { chartMain->ChartMouseLeave(); };
  BindChartCommands();
}

// ---------------------------------------------------------------------------
// Handlers

void TformMain::FormCreate(QWidget*) {
  if (StartupPhantom) {
    // A file may hold thousands of blobs: a cycle for each would recompute the grid
    // from all blobs so far, the square of their number. They register first; the
    // cycle then runs once, and shows what the last of those cycles would have.
    {
      deferCycles_ = true;
      TScopeExit resume([this] { deferCycles_ = false; });
      for (const TPhantomBlob& b : *StartupPhantom) CreateBlob(b.MX, b.DX, b.MY, b.DY, b.Enabled);
    }
    RecomputeAll();
    return;
  }
  // The built-in blobs run the cycle one by one, as they always have.
  for (const TPhantomBlob& b : BuiltInPhantom()) CreateBlob(b.MX, b.DX, b.MY, b.DY, b.Enabled);
}

void TformMain::FormDestroy(QWidget*) { ListFreeAll(Blobs); }

void TformMain::btnCloseClick(QWidget*) { close(); }

void TformMain::grpResolutionClick(QWidget*, int index) {
  Resolution = static_cast<uint8_t>(index & 0xFF);
  try {
    RecomputeAll();
  } catch (const EFitError& fit) {
    throw EResampleError(Resolution % 3, fit);
  }
}

void TformMain::listGaussesChange(QWidget*) {}

void TformMain::RegisterBlob(std::unique_ptr<TGauss3D> blob) {
  AdoptBlob(std::move(blob));
  if (!deferCycles_) RecomputeAll();
}

void TformMain::RecomputeAll() {
  ++UpdateCycles;
  ResetGrid();
  {
    listGausses->BeginUpdate();
    TScopeExit endUpdate([this] { listGausses->EndUpdate(); });
    listGausses->Clear();
    for (int i = 0; i < BlobCount(); ++i) {
      const TGauss3D* blob = BlobAt(i);
      if (blob->Enabled) AddBlobToGrid(*blob);
      TListRow row = listGausses->AddRow();
      FillBlobRow(row, *blob);
    }
  }

  ComputeProjection();
  ResampleProjection();

  FeedProjectionChart(*seriesMain, *this);

  boxNormal->Invalidate();
  update();
}

void TformMain::FillBlobRow(TListRow& row, const TGauss3D& blob) {
  row.SetCaption(FormatGeneral(blob.MX));
  row.AddSubItem(FormatGeneral(blob.DX));
  row.AddSubItem(FormatGeneral(blob.MY));
  row.AddSubItem(FormatGeneral(blob.DY));
  if (!blob.Enabled) row.SetEnabled(false);
}

void TformMain::LocaleChanged() {
  ReadLocaleSeparators();
  {
    listGausses->BeginUpdate();
    TScopeExit endUpdate([this] { listGausses->EndUpdate(); });
    listGausses->Clear();
    for (int i = 0; i < BlobCount(); ++i) {
      TListRow row = listGausses->AddRow();
      FillBlobRow(row, *BlobAt(i));
    }
  }
  chartMain->InvalidateChart();
}

// ---------------------------------------------------------------------------
// The grid image

void TformMain::boxNormalPaint(QWidget*) {
  // The bitmap lives within this paint only, and goes on every path.
  auto bitmap = std::make_unique<TBitmap24>();
  bitmap->SetHeight(kGridSize);
  bitmap->SetWidth(kGridSize);
  bitmap->FillBlack({0, 0, bitmap->Width(), bitmap->Height()});
  PaintGrid(*bitmap);
  bitmap->DrawOn(boxNormal->Canvas(), 0, 0);
}

void TformMain::PaintGrid(TBitmap24& bitmap) const { PaintGridImage(*this, bitmap); }

uint8_t TformMain::GreenLevel(double v) const { return quarvel::GreenLevel(v, GridMax); }

// ---------------------------------------------------------------------------
// The stems over the chart: at the points the resampling inserted.

void TformMain::seriesMainAfterDrawValues(TChartSeries* sender) {
  DrawStems(*sender, chartMain->ChartCanvas(), Resolution);
}

}  // namespace quarvel
