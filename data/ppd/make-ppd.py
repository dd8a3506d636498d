#!/usr/bin/env python3
"""Writes the PPD files of the two models (QN4100DN.PPD, QN4100N.PPD) beside this script.

The two differ only in their product names and in the duplex unit: the DN model has it
fitted, the N model offers it as an installable option that is not installed.
Run it after changing a feature; the files it writes are the ones that ship.
"""
import os

MARGIN = 12  # points, on every edge

# name: (width, height) in points
SIZES = [
    ("A3", 842, 1191), ("A4", 595, 842), ("A5", 420, 595), ("B4", 729, 1032), ("B5", 516, 729),
    ("Letter", 612, 792), ("Legal", 612, 1008), ("Tabloid", 792, 1224), ("Statement", 396, 612),
    ("Executive", 522, 756), ("KT8-KAI", 765, 1105), ("KT16-KAI", 553, 765),
    ("KT8-KAI-GCO", 774, 1116), ("KT16-KAI-GCO", 558, 774), ("EnvDL", 312, 624),
    ("EnvC5", 459, 649), ("Env10", 297, 684),
]
SIZE_TEXT = {"B4": "B4 (JIS)", "B5": "B5 (JIS)", "KT8-KAI": "8K", "KT16-KAI": "16K",
             "KT8-KAI-GCO": "8K (GCO)", "KT16-KAI-GCO": "16K (GCO)", "EnvDL": "Envelope DL",
             "EnvC5": "Envelope C5", "Env10": "Envelope #10"}

STAPLES = ["None", "LeftDoublePort", "LeftQuadPort", "LeftDoubleLand", "UpperLeftSinglePort",
           "UpperLeftSingleLand", "TopDoublePort", "TopDoubleLand", "TopQuadLand",
           "UpperRightSinglePort", "UpperRightSingleLand", "RightDoublePort", "RightQuadPort",
           "RightDoubleLand", "LowerRightSinglePort", "LowerRightSingleLand", "BottomDoublePort",
           "BottomDoubleLand", "BottomQuadLand", "LowerLeftSinglePort", "LowerLeftSingleLand",
           "SaddleStaple", "MixStapleSingle", "MixStapleDouble"]
PUNCHES = ["None", "LeftPort", "LeftLand", "TopPort", "TopLand", "RightPort", "RightLand",
           "BottomPort", "BottomLand", "MixPunch"]
FOLDS = ["None", "BiFold", "BiFoldInside", "BiFoldOutside", "BiFoldMulti", "ZFoldLeft",
         "ZFoldRight", "ZLFoldInside", "ZLFoldOutside", "CLFoldInside", "CLFoldOutside"]


def pd(keys):
    """setpagedevice invocation for a dictionary body."""
    return "<<%s>> setpagedevice" % keys


def feature(out, key, text, default, options, ui="PickOne", order=("AnySetup", 30)):
    out.append("*OpenUI *%s/%s: %s" % (key, text, ui))
    out.append("*OrderDependency: %d %s *%s" % (order[1], order[0], key))
    out.append("*Default%s: %s" % (key, default))
    for name, label, code in options:
        out.append('*%s %s/%s: "%s"' % (key, name, label, code))
    out.append("*CloseUI: *%s" % key)
    out.append("")


def simple(values, key, number=True):
    """Options whose invocation stores their index under a page-device key."""
    return [(v, v, pd("/%s %d" % (key, i)) if number else pd("/%s (%s)" % (key, v)))
            for i, v in enumerate(values)]


def boolean(key):
    return [("False", "Off", pd("/%s false" % key)), ("True", "On", pd("/%s true" % key))]


def installable(out, key, text, default, options):
    out.append("*OpenUI *%s/%s: PickOne" % (key, text))
    out.append("*Default%s: %s" % (key, default))
    for name, label in options:
        out.append('*%s %s/%s: ""' % (key, name, label))
    out.append("*CloseUI: *%s" % key)
    out.append("")


def ppd(model, duplex_fitted):
    pcname = "QN%s.PPD" % model.replace("Lumeno ", "").replace(" ", "")
    out = []
    out += [
        '*PPD-Adobe: "4.3"',
        '*% Lumeno 4100 colour printer, PostScript printer description.',
        '*FormatVersion: "4.3"',
        '*FileVersion: "1.0"',
        '*LanguageVersion: English',
        '*LanguageEncoding: ISOLatin1',
        '*PCFileName: "%s"' % pcname,
        '*Manufacturer: "Tavoro"',
        '*Product: "(%s)"' % model,
        '*ModelName: "Tavoro %s"' % model,
        '*ShortNickName: "Tavoro %s"' % model,
        '*NickName: "Tavoro %s PS"' % model,
        '*PSVersion: "(3010.000) 1"',
        '*LanguageLevel: "3"',
        '*ColorDevice: True',
        '*DefaultColorSpace: CMYK',
        '*FileSystem: False',
        '*Throughput: "40"',
        '*LandscapeOrientation: Plus90',
        '*TTRasterizer: Type42',
        '*1284DeviceID: "MFG:Tavoro;MDL:%s;CMD:POSTSCRIPT,PJL;"' % model,
        '*QNHolePunchingSettings: "2_3_Holes"',
        '',
        '*HWMargins: %d %d %d %d' % (MARGIN, MARGIN, MARGIN, MARGIN),
        '*VariablePaperSize: True',
        '*MaxMediaWidth: "842"',
        '*MaxMediaHeight: "1224"',
        '*NonUIOrderDependency: 10 AnySetup *CustomPageSize',
        '*CustomPageSize True: "pop pop pop <</PageSize [5 -2 roll] /ImagingBBox null>> setpagedevice"',
        '*ParamCustomPageSize Width: 1 points 283 842',
        '*ParamCustomPageSize Height: 2 points 420 1224',
        '*ParamCustomPageSize WidthOffset: 3 points 0 0',
        '*ParamCustomPageSize HeightOffset: 4 points 0 0',
        '*ParamCustomPageSize Orientation: 5 int 0 0',
        '',
        '*OpenGroup: InstallableOptions/Installable Options',
    ]
    installable(out, "QNDuplexOption", "Duplex Unit", "True" if duplex_fitted else "False",
                [("False", "Not Installed"), ("True", "Installed")])
    installable(out, "QNHardDisk", "Hard Disk", "False", [("False", "Not Installed"), ("True", "Installed")])
    installable(out, "InstalledMemory", "Installed Memory", "256MB",
                [("128MB", "128 MB"), ("256MB", "256 MB"), ("512MB", "512 MB"), ("1024MB", "1024 MB")])
    installable(out, "QNPaperTrayConfiguration", "Paper Tray Configuration", "None",
                [("None", "None"), ("1TrayModule", "1 Tray Module")])
    installable(out, "QNOutputOptions", "Output Options", "None",
                [("None", "None"), ("FinisherTypeA", "Finisher A"), ("FinisherTypeB", "Finisher B"),
                 ("Finisher2Holes", "Finisher with 2-Hole Punch"), ("Finisher3Holes", "Finisher with 3-Hole Punch"),
                 ("Finisher2and4Holes", "Finisher with 2/4-Hole Punch"), ("OffsetCatchTrayFinisher", "Offset Catch Tray")])
    installable(out, "QNFaxModule", "Fax Module", "False", [("False", "Not Installed"), ("True", "Installed")])
    installable(out, "QNColorModeSetting", "Color Mode Setting", "Color", [("Color", "Color"), ("Black", "Black Only")])
    installable(out, "QNSelectID", "Select ID", "UserID_AccountID",
                [("UserID_AccountID", "User ID and Account ID"), ("UserID", "User ID"),
                 ("AccountID", "Account ID"), ("None", "None")])
    installable(out, "QNMinDigitPasscode", "Minimum Passcode Digits", "4",
                [(str(n), "%d Digits" % n) for n in range(4, 9)])
    out += ['*CloseGroup: InstallableOptions', '']

    out += ['*OpenGroup: General/General', '']
    sizes = [(n, SIZE_TEXT.get(n, n), w, h) for n, w, h in SIZES]
    feature(out, "PageSize", "Page Size", "A4",
            [(n, t, pd("/PageSize [%d %d] /ImagingBBox null" % (w, h))) for n, t, w, h in sizes],
            order=("AnySetup", 10))
    out.append("*OpenUI *PageRegion/Page Region: PickOne")
    out.append("*OrderDependency: 10 AnySetup *PageRegion")
    out.append("*DefaultPageRegion: A4")
    for n, t, w, h in sizes:
        out.append('*PageRegion %s/%s: "%s"' % (n, t, pd("/PageSize [%d %d] /ImagingBBox null" % (w, h))))
    out.append("*CloseUI: *PageRegion")
    out.append("")
    out.append("*DefaultImageableArea: A4")
    for n, t, w, h in sizes:
        out.append('*ImageableArea %s/%s: "%d %d %d %d"' % (n, t, MARGIN, MARGIN, w - MARGIN, h - MARGIN))
    out.append("")
    out.append("*DefaultPaperDimension: A4")
    for n, t, w, h in sizes:
        out.append('*PaperDimension %s/%s: "%d %d"' % (n, t, w, h))
    out.append("")
    feature(out, "InputSlot", "Paper Source", "AutoSelect",
            [("AutoSelect", "Auto Select", pd("/ManualFeed false /MediaPosition null")),
             ("Tray1", "Bypass Tray", pd("/ManualFeed false /MediaPosition 0")),
             ("Tray2", "Tray 2", pd("/ManualFeed false /MediaPosition 1")),
             ("Tray3", "Tray 3", pd("/ManualFeed false /MediaPosition 2")),
             ("MediaTypeAPS", "Select by Paper Type", pd("/ManualFeed false /MediaPosition null /QNAPS true"))],
            order=("AnySetup", 20))
    feature(out, "MediaType", "Paper Type", "Plain",
            [("Plain", "Plain Paper", pd("/MediaType (Plain)")),
             ("Recycled", "Recycled Paper", pd("/MediaType (Recycled)")),
             ("ThickPaper", "Thick Paper", pd("/MediaType (ThickPaper)")),
             ("Transparency", "Transparency", pd("/MediaType (Transparency)")),
             ("Envelope", "Envelope", pd("/MediaType (Envelope)")),
             ("Labels", "Labels", pd("/MediaType (Labels)")),
             ("Letterhead", "Letterhead", pd("/MediaType (Letterhead)"))],
            order=("AnySetup", 25))
    feature(out, "Duplex", "2-Sided Printing", "None",
            [("None", "Off", pd("/Duplex false /Tumble false")),
             ("DuplexNoTumble", "Long Edge", pd("/Duplex true /Tumble false")),
             ("DuplexTumble", "Short Edge", pd("/Duplex true /Tumble true"))],
            order=("AnySetup", 40))
    feature(out, "OutputBin", "Output Tray", "Default",
            [("Default", "Printer Default", pd("/OutputType (Default)")),
             ("Tray1", "Output Tray 1", pd("/OutputType (Tray1)")),
             ("Tray2", "Output Tray 2", pd("/OutputType (Tray2)"))],
            order=("AnySetup", 45))
    feature(out, "QNColorMode", "Color Mode", "Color",
            [("Color", "Color", pd("/ProcessColorModel /DeviceCMYK")),
             ("Black", "Black", pd("/ProcessColorModel /DeviceGray"))],
            order=("AnySetup", 50))
    out += ['*CloseGroup: General', '', '*OpenGroup: Finishing/Finishing', '']
    feature(out, "QNStaple", "Staple", "None", simple(STAPLES, "QNStaple"), order=("AnySetup", 60))
    feature(out, "QNPunch", "Hole Punch", "None", simple(PUNCHES, "QNPunch"), order=("AnySetup", 61))
    feature(out, "QNNumPunchHoles", "Number of Holes", "Auto",
            simple(["Auto", "2Holes", "3Holes", "4Holes"], "QNPunchHoles"), order=("AnySetup", 62))
    feature(out, "QNFold", "Fold", "None", simple(FOLDS, "QNFold"), order=("AnySetup", 63))
    feature(out, "QNSignature", "Booklet Signature", "None",
            simple(["None", "LeftBinding", "RightBinding"], "QNSignature"), order=("AnySetup", 64))
    feature(out, "QNSigSize", "Signature Paper Size", "None",
            simple(["None", "A3", "A4", "B4", "LT", "DL", "Tray1", "Tray2"], "QNSigSize", number=False),
            order=("AnySetup", 65))
    feature(out, "QNSigFuncChange", "Signature Fit Function", "False", boolean("QNSigFuncChange"),
            ui="Boolean", order=("AnySetup", 66))
    feature(out, "QNTabMarginShift", "Tab Margin Shift", "False", boolean("QNTabMarginShift"), ui="Boolean",
            order=("AnySetup", 67))
    feature(out, "QNTabMarginShiftEx", "Tab Margin Shift (Extended)", "False", boolean("QNTabMarginShiftEx"),
            ui="Boolean", order=("AnySetup", 68))
    feature(out, "QNIntSheet", "Insert Sheets", "None",
            simple(["None", "Front", "Back", "FrontBack"], "QNInsertSheet"), order=("AnySetup", 69))
    feature(out, "QNIntSheetMediaType", "Insert Sheet Paper Type", "Plain",
            simple(["Plain", "ThickPaper", "Colored"], "QNInsertSheetMedia", number=False), order=("AnySetup", 70))
    feature(out, "QNMixSizePrint", "Mixed Size Print", "False", boolean("QNMixSize"), ui="Boolean",
            order=("AnySetup", 71))
    feature(out, "QNTwoRepeatPrint", "2 Repeat Print", "False", boolean("QNTwoRepeat"), ui="Boolean",
            order=("AnySetup", 72))
    out += ['*CloseGroup: Finishing', '', '*OpenGroup: Quality/Image Quality', '']
    feature(out, "QNOutputMode", "Output Mode", "Normal",
            simple(["Normal", "HighQuality", "Speed"], "QNOutputMode"), order=("AnySetup", 80))
    feature(out, "QNBrightness", "Brightness", "0",
            [(v, v, pd("/QNBrightness %s" % v)) for v in ["-3", "-2", "-1", "0", "1", "2", "3"]],
            order=("AnySetup", 81))
    feature(out, "QNRGBImageType", "Image Type", "Mixed",
            simple(["Mixed", "Photo", "Graphics", "Text"], "QNImageType"), order=("AnySetup", 82))
    feature(out, "QNRGBCorrection", "RGB Color Correction", "Vivid",
            simple(["None", "Vivid", "Photographic", "Presentation"], "QNRGBCorrection"), order=("AnySetup", 83))
    feature(out, "QNRGBInputProfile", "RGB Input Profile", "sRGB",
            simple(["sRGB", "AdobeRGB"], "QNRGBProfile", number=False), order=("AnySetup", 84))
    feature(out, "QNCMYKCorrectionSTD", "CMYK Simulation", "None",
            simple(["None", "SWOP", "Euroscale", "JapanColor"], "QNCMYKSimulation", number=False),
            order=("AnySetup", 85))
    feature(out, "QNColorTemperature", "Color Temperature", "D50",
            simple(["D50", "D65", "D93"], "QNColorTemperature", number=False), order=("AnySetup", 86))
    feature(out, "QNEngineScreen", "Screening", "Auto",
            simple(["Auto", "Fine", "Smooth"], "QNScreen"), order=("AnySetup", 87))
    out += ['*CloseGroup: Quality', '']

    constraints = []

    def both(a, b):
        constraints.append("*UIConstraints: %s %s" % (a, b))
        constraints.append("*UIConstraints: %s %s" % (b, a))

    both("*QNDuplexOption False", "*Duplex DuplexNoTumble")
    both("*QNDuplexOption False", "*Duplex DuplexTumble")
    both("*QNPaperTrayConfiguration None", "*InputSlot Tray3")
    both("*QNColorModeSetting Black", "*QNColorMode Color")
    for opt in STAPLES[1:]:
        both("*QNOutputOptions None", "*QNStaple %s" % opt)
    for opt in PUNCHES[1:]:
        both("*QNOutputOptions None", "*QNPunch %s" % opt)
        both("*QNOutputOptions FinisherTypeA", "*QNPunch %s" % opt)
        both("*QNOutputOptions FinisherTypeB", "*QNPunch %s" % opt)
        both("*QNOutputOptions OffsetCatchTrayFinisher", "*QNPunch %s" % opt)
    for opt in FOLDS[1:]:
        both("*QNOutputOptions None", "*QNFold %s" % opt)
    for opt in ["LeftBinding", "RightBinding"]:
        both("*QNOutputOptions None", "*QNSignature %s" % opt)
        both("*QNSignature %s" % opt, "*QNStaple MixStapleSingle")
        both("*QNSignature %s" % opt, "*QNStaple MixStapleDouble")
        both("*QNSignature %s" % opt, "*QNTabMarginShift True")
        both("*QNSignature %s" % opt, "*QNTabMarginShiftEx True")
    for media in ["Transparency", "Envelope", "Labels"]:
        both("*MediaType %s" % media, "*Duplex DuplexNoTumble")
        both("*MediaType %s" % media, "*Duplex DuplexTumble")
    for size in ["EnvDL", "EnvC5", "Env10"]:
        both("*PageSize %s" % size, "*Duplex DuplexNoTumble")
        both("*PageSize %s" % size, "*Duplex DuplexTumble")
    out += constraints
    out.append("")
    out += [
        '*OpenUI *Resolution/Resolution: PickOne',
        '*OrderDependency: 90 AnySetup *Resolution',
        '*DefaultResolution: 600dpi',
        '*Resolution 600dpi/600 dpi: "<</HWResolution [600 600]>> setpagedevice"',
        '*Resolution 1200dpi/1200 dpi: "<</HWResolution [1200 1200]>> setpagedevice"',
        '*CloseUI: *Resolution',
        '',
        '*DefaultFont: Courier',
    ]
    for font in ["Courier", "Courier-Bold", "Courier-Oblique", "Courier-BoldOblique", "Helvetica",
                 "Helvetica-Bold", "Helvetica-Oblique", "Helvetica-BoldOblique", "Times-Roman", "Times-Bold",
                 "Times-Italic", "Times-BoldItalic", "Symbol"]:
        enc = "Special" if font == "Symbol" else "Standard"
        out.append('*Font %s: %s "(002.000)" %s ROM' % (font, enc, enc))
    out.append("*% End of " + pcname)
    return pcname, "\n".join(out) + "\n"


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for model, fitted in (("Lumeno 4100DN", True), ("Lumeno 4100N", False)):
        name, text = ppd(model, fitted)
        with open(os.path.join(here, name), "w", encoding="latin-1", newline="\n") as f:
            f.write(text)


if __name__ == "__main__":
    main()
