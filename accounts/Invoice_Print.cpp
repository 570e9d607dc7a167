#include "Invoice_Print.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include "accounts/frmInvoice.h"
#include "accounts/invoicemerge.h"
#include "core/forms.h"
#include "core/globals.h"
#include "core/settingscatalogue.h"
#include "platform/ui/desktop.h"
#include "platform/ui/prompts.h"
#include "platform/word/document.h"

namespace {

const QString kTemplatesSql = QStringLiteral(
    "SELECT System.id, System.fieldID, System.value From System WHERE "
    "(((System.FieldName)='report'));");
const char* const kTag = "Tag";

// Opens a document in the desktop's word processor without waiting for it.
bool Show(const QString& path) { return ui::OpenUrl(QUrl::fromLocalFile(path)); }

// Removes what a write cut short left beside the files this window writes: earlier versions
// wrote them through a temporary "name.XXXXXX" that a kill left behind.
void RemoveLeftovers() {
    QDir folder(merge::DataFolder());
    // The data document and the merged invoices (MergedPath).
    const QRegularExpression leftover(
        QStringLiteral(R"(^(%1|Invoice \d+\.docx)\.[A-Za-z0-9]{6}$)")
            .arg(QRegularExpression::escape(QFileInfo(merge::DataDocPath()).fileName())),
        QRegularExpression::CaseInsensitiveOption);
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden))
        if (leftover.match(name).hasMatch()) folder.remove(name);
}

// The invoice open in the invoice editor, which this window prints.
qint64 EditorInvoiceNumber() {
    const frmInvoice* editor = Forms::find<frmInvoice>();
    return editor ? editor->InvoiceNumber() : 0;
}

}  // namespace

Invoice_Print::Invoice_Print(QWidget* parent) : QDialog(parent) {
    ui_.setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    cboReports = ui_.cboReports;
    bntPrint = ui_.bntPrint;
    btnEdit = ui_.btnEdit;
    btnDelete = ui_.btnDelete;
    btnNew = ui_.btnNew;
    btnOptions = ui_.btnOptions;
    Frame1 = ui_.Frame1;
    Frame2 = ui_.Frame2;
    InvSht = ui_.InvSht;
    InvLng = ui_.InvLng;
    JobLng = ui_.JobLng;
    JobSht = ui_.JobSht;
    PrintPB = ui_.PrintPB;

    connect(bntPrint, &QPushButton::clicked, this, &Invoice_Print::bntPrint_Click);
    connect(btnEdit, &QPushButton::clicked, this, &Invoice_Print::btnEdit_Click);
    connect(btnDelete, &QPushButton::clicked, this, &Invoice_Print::btnDelete_Click);
    connect(btnNew, &QPushButton::clicked, this, &Invoice_Print::btnNew_Click);
    connect(btnOptions, &QPushButton::clicked, this, &Invoice_Print::btnOptions_Click);

    Form_Load();
}

Invoice_Print::~Invoice_Print() { Form_Unload(); }

QString Invoice_Print::MergedPath(qint64 invoiceNumber) {
    return QDir(merge::DataFolder()).filePath(QStringLiteral("Invoice %1.docx").arg(invoiceNumber));
}

void Invoice_Print::ShowError(const QString& text) {
    ui::MsgBox(text, ui::vbOKOnly, QString(), this);
}

// ---- loading ----------------------------------------------------------------------------

void Invoice_Print::Form_Load() {
    RemoveLeftovers();
    TemplateRecordset.Open(kTemplatesSql, DbConnection(), db::adOpenDynamic, db::adLockOptimistic);
    LoadTemplateList();
    InvLng->setChecked(catalogue::ReadBoolean(catalogue::InvLng).value_or(true));
    InvSht->setChecked(catalogue::ReadBoolean(catalogue::InvSht).value_or(false));
    JobLng->setChecked(catalogue::ReadBoolean(catalogue::JobLng).value_or(true));
    JobSht->setChecked(catalogue::ReadBoolean(catalogue::JobSht).value_or(false));
}

void Invoice_Print::SetTemplateButtons(bool enabled) {
    for (QPushButton* b : {btnEdit, bntPrint, btnDelete}) b->setEnabled(enabled);
}

void Invoice_Print::LoadTemplateList() {
    cboReports->clear();
    cboReports->setPlaceholderText(merge::kNoReports);
    db::Recordset& rs = TemplateRecordset;
    if (rs.State() == db::adStateOpen && rs.RecordCount() > 0) {
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
            const QString path = rs.Value(QStringLiteral("value")).toString();
            // A template without a path is one whose creation never finished.
            if (path.isEmpty())
                rs.Delete();
            else
                cboReports->addItem(path, rs.Value(QStringLiteral("id")));
        }
        if (rs.RecordCount() > 0) rs.MoveFirst();
    }
    cboReports->setCurrentIndex(cboReports->count() > 0 ? 0 : -1);
    SetTemplateButtons(cboReports->count() > 0);
}

// ---- the merge --------------------------------------------------------------------------

void Invoice_Print::StepProgress(int step) {
    if (PrintPB->value() < 100) PrintPB->setValue(std::min(100, PrintPB->value() + step));
}

bool Invoice_Print::ClearDataDoc() {
    QString why;
    switch (merge::ClearDataDoc(merge::DataFolder(), &why)) {
        case merge::Clearance::Clear:
            return true;
        case merge::Clearance::HeldOpen:
            ui::MsgBox(merge::kStillOpen, ui::vbOKOnly, QString(), this);
            return false;
        case merge::Clearance::Failed:
            // Print, Edit and New would otherwise do nothing without a word.
            ShowError(why);
            return false;
    }
    return false;
}

bool Invoice_Print::BuildMergeDataSource(QString* error) {
    const qint64 number = EditorInvoiceNumber();
    db::Recordset invoice;
    db::Recordset jobs;
    if (!invoice.Open(merge::InvoiceSql(number), DbConnection(), db::adOpenDynamic,
                      db::adLockOptimistic)) {
        *error = invoice.LastError();
        return false;
    }
    if (!jobs.Open(merge::JobsSql(number), DbConnection(), db::adOpenDynamic,
                   db::adLockOptimistic)) {
        *error = jobs.LastError();
        return false;
    }
    merge::Source source =
        merge::BuildSource(invoice, jobs, {InvLng->isChecked(), JobLng->isChecked()});
    StepProgress(20);
    StepProgress(3);

    // Beside the merge the same record is written as a table a word processor can take as
    // its merge data source while the user edits a template.
    word::Document data;
    data.AddTable({source.names, source.values});
    if (!data.SaveAs(merge::DataDocPath())) {
        *error = data.LastError();
        return false;
    }
    source_ = std::move(source);
    return true;
}

bool Invoice_Print::OpenChosenTemplate(word::Document& templ, bool needsWordProcessor) {
    PrintPB->setValue(0);
    if (!ClearDataDoc()) return false;
    StepProgress(5);
    if (needsWordProcessor && !ui::CanOpenFiles()) {
        ShowError(merge::kNoWordProcessor);
        return false;
    }
    StepProgress(10);
    bool ok = templ.Open(cboReports->currentText());
    QString error = ok ? QString() : templ.LastError();
    if (ok) ok = BuildMergeDataSource(&error);
    if (ok) {
        StepProgress(15);
        return true;
    }
    ShowError(error);
    return false;
}

void Invoice_Print::bntPrint_Click() {
    // An earlier merge of this invoice that the user has open (and may have edited) is not
    // written over: they close it and print again.
    const QString path = MergedPath(EditorInvoiceNumber());
    if (merge::HeldOpen(path)) return ShowError(merge::StillOpenText(path));
    // The merge needs no word processor; only showing its result does.
    word::Document templ;
    if (!OpenChosenTemplate(templ, false)) return;
    word::Document merged = templ.Merge(source_.Record());
    if (!merged.SaveAs(path)) return ShowError(merged.LastError());
    StepProgress(15);
    if (!Show(path))
        return ShowError(QStringLiteral("The merged invoice could not be opened. %1.\n\nIt is "
                                        "saved as:\n%2")
                             .arg(merge::kNoWordProcessor, QDir::toNativeSeparators(path)));
    PrintPB->setValue(100);
}

// ---- templates --------------------------------------------------------------------------

void Invoice_Print::btnDelete_Click() {
    const int index = cboReports->currentIndex();
    if (index < 0) return;
    // By the row's key: a path is the user's text and may hold anything.
    const QVariant id = cboReports->itemData(index);
    if (id.isValid() &&
        TemplateRecordset.SetFilter(QStringLiteral("id = ") + QString::number(id.toLongLong())) &&
        !TemplateRecordset.Eof())
        TemplateRecordset.Delete();
    TemplateRecordset.SetFilter(QString());
    cboReports->removeItem(index);
    SetTemplateButtons(cboReports->count() > 0);
}

void Invoice_Print::btnEdit_Click() {
    word::Document templ;
    if (!OpenChosenTemplate(templ, true)) return;
    // The user edits the file itself; the data document stands beside it as its merge source.
    if (!Show(templ.FullName()))
        return ShowError(QStringLiteral("The template could not be shown: ") + templ.FullName());
    PrintPB->setValue(100);
}

void Invoice_Print::btnNew_Click() {
    if (!ClearDataDoc()) return;
    PrintPB->setValue(0);
    StepProgress(10);
    if (!ui::CanOpenFiles()) {
        ui::MsgBox(merge::kNoWordProcessor, ui::vbCritical | ui::vbOKOnly, QString(), this);
        return;
    }
    const auto fail = [this](const QString& text) {
        ShowError(text);
        PrintPB->setValue(0);
    };
    StepProgress(15);
    word::Document templ;
    StepProgress(10);
    QString error;
    if (!BuildMergeDataSource(&error)) return fail(error);
    StepProgress(5);

    templ.TypeText(OwnerCompanyName);
    templ.TypeParagraph();
    StepProgress(2);
    templ.TypeText(
        catalogue::SystemValue(DbConnection(), catalogue::sys::MyAddress).value_or(QString()));
    StepProgress(2);
    templ.TypeParagraph();
    templ.TypeText(
        catalogue::SystemValue(DbConnection(), catalogue::sys::MyPostcode).value_or(QString()));
    templ.TypeParagraph(5);
    StepProgress(5);
    templ.TypeText(merge::kGuide);
    // The fields the invoice offers, ready to be moved where the user wants them.
    templ.TypeParagraph(2);
    const QStringList& fields = source_.names;
    for (int i = 0; i < fields.size(); ++i) {
        if (i > 0) templ.TypeParagraph();
        templ.InsertMergeField(fields[i]);
    }
    StepProgress(5);

    ui::FileDialogOptions save;
    save.defaultExt = QStringLiteral("docx");
    const QString path = merge::TemplateFileName(ui::GetSaveFileName(save, this));
    if (path.isEmpty()) {
        PrintPB->setValue(0);
        return;
    }
    if (!templ.SaveAs(path)) return fail(templ.LastError());
    db::Recordset added;
    if (!added.OpenWith(QStringLiteral("INSERT INTO System (FieldName, Value) VALUES (?, ?)"),
                        DbConnection(), {catalogue::sys::Report, path}))
        return fail(added.LastError());
    // The list keeps the new row's key, as it does for the rows it loaded.
    added.Open(QStringLiteral("SELECT Max(id) AS id FROM System"), DbConnection(),
               db::adOpenForwardOnly, db::adLockReadOnly);
    const QVariant id = added.Eof() ? QVariant() : added.Value(QStringLiteral("id"));
    TemplateRecordset.Requery();
    cboReports->addItem(path, id);
    if (cboReports->count() == 1) {
        cboReports->setCurrentIndex(0);
        SetTemplateButtons(true);
    }
    StepProgress(5);
    PrintPB->setValue(100);
    if (!Show(path)) ShowError(QStringLiteral("The new template could not be shown: ") + path);
}

void Invoice_Print::btnOptions_Click() {
    const bool open = btnOptions->property(kTag).toString() != QLatin1String("open");
    ui_.OptionsPanel->setVisible(open);
    btnOptions->setProperty(kTag, open ? QStringLiteral("open") : QStringLiteral("closed"));
}

// ---- closing ----------------------------------------------------------------------------

void Invoice_Print::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    TemplateRecordset.Close();
    // Options are written back only by someone who has seen them.
    if (btnOptions->property(kTag).toString().isEmpty()) return;
    catalogue::WriteBoolean(catalogue::InvLng, InvLng->isChecked());
    catalogue::WriteBoolean(catalogue::InvSht, InvSht->isChecked());
    catalogue::WriteBoolean(catalogue::JobLng, JobLng->isChecked());
    catalogue::WriteBoolean(catalogue::JobSht, JobSht->isChecked());
}

void Invoice_Print::done(int result) {
    Form_Unload();
    QDialog::done(result);
}
