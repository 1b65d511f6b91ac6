#include "app/help_window.hpp"

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "app/form_view.hpp"

namespace kestrune::app {

namespace {

// The messages are quoted exactly as the program shows them.
const char kHelpHtml[] = R"(<h2>Kestrune</h2>
<p>Kestrune predicts Loran-C time differences (TDs) at an estimated position and
computes position fixes from observed TDs of two to six lines of position (LOPs)
of the chains 9007, 7001, 7499 and 6731. F1 opens this help in either window.</p>

<h3>The setup dialog</h3>
<p>Pick the number of LOPs under <i>NoOfLops</i>, then a master and a secondary for
each row. The master and the secondary of a row must belong to one chain.
<i>ACCEPT</i> checks the rows from the top and opens the calculation window; the
dialog does not come back.</p>

<h3>The calculation window</h3>
<p>Type the estimated position, the observed TD of each LOP in microseconds and its
weight from 0 to 1 (0 leaves the LOP out of the least-squares fix).</p>
<ul>
<li><i>CALC TD est</i> fills the station table: distance, azimuth, predicted TD,
hyperbolic azimuth and gradient of every station at the estimated position.</li>
<li><i>Copy TD estimates to Observed TD</i> puts the predicted TDs of the LOPs into
the TD fields.</li>
<li><i>CALC Pos Solutions</i> computes the weighted least-squares fix with the
residual of each LOP and its GDOP, a fix from every pair of LOPs with its deviation
north (dN) and east (dE) from the least-squares fix, and the mean of those fixes.</li>
<li><i>EXIT</i> asks whether to save the setup to Kestrune.ini in the working
directory, where the next start reads it.</li>
</ul>
<p>Any figure can be selected with the mouse; Ctrl+C then copies the selection.
Without a selection Ctrl+C, or <i>Copy results</i> in the right-click menu, puts every
result on the clipboard as tab-separated text, ready for a spreadsheet. The
right-click menu of a figure also offers <i>Copy</i>, for that figure alone.</p>

<h3>Typing a position</h3>
<p>Degrees, minutes and seconds, then the hemisphere letter:
<tt>62&deg;17'59.837"N</tt>, <tt>62 17 59.837 N</tt>, <tt>62 17 59,837 n</tt>,
<tt>7 4 26.079 W</tt>, <tt>64 N</tt>.</p>
<ul>
<li>Any one character separates degrees from minutes and minutes from seconds:
a blank, &deg;, ', a point or a comma.</li>
<li><b>A point or a comma in the degrees or the minutes is a separator, not a
decimal point: <tt>64.5</tt> means 64&deg;05', not 64.5&deg;.</b> Only the seconds
take decimals, with a point or a comma.</li>
<li>N or S for a latitude, E or W for a longitude (also &Oslash; for east and V for
west), in either case. A leading minus means south or west. Without a letter the
position is north or east.</li>
<li>Leaving the field writes the position in the form
<tt>64&deg;00'00.000"N</tt>.</li>
</ul>

<h3>Messages</h3>
<table border="1" cellspacing="0" cellpadding="3">
<tr><td>Loran master 2 not defined<br>Loran secondary 2 not defined</td>
<td>Row 2 of the setup dialog has no master (secondary) picked.</td></tr>
<tr><td>Loran secondary 2 not in corresponding chain to selected master</td>
<td>The secondary of row 2 belongs to another chain than its master.</td></tr>
<tr><td>LATITUDE FORMAT ERROR. Max 90 deg allowed<br>
LONGITUDE FORMAT ERROR. Max 180 deg allowed</td>
<td>More degrees than a latitude (longitude) can have; 90 (180) is used.</td></tr>
<tr><td>LATITUDE MINUTE FORMAT ERROR. Max 59 allowed</td>
<td>60 minutes or more: the minutes become 0 and one degree is added.</td></tr>
<tr><td>LATITUDE SECOND FORMAT ERROR. Max 59.9999 allowed</td>
<td>60 seconds or more: the seconds become 0 and one minute is added.</td></tr>
<tr><td>LATITUDE FORMAT ERROR. Default, N, used<br>
LONGITUDE FORMAT ERROR. Default, E, used</td>
<td>The hemisphere letter is not one a latitude (longitude) can have; N (E) is
used.</td></tr>
<tr><td><i>text</i>!&nbsp;&nbsp;&nbsp;LATITUDE CHARACTER FORMAT ERROR. Default, N, used</td>
<td>What follows the last number (shown before the "!") is not a single letter,
or there is nothing at all; N (E for a longitude) is used. A very long text is
shown shortened in the middle.</td></tr>
<tr><td>LATITUDE FORMAT ERROR.</td>
<td>A number too large to read; the coordinate is taken as 0.</td></tr>
<tr><td>More then 20 iterations without acceptable position solution
(title: Position Calculation Error)</td>
<td>The fix from one pair of LOPs found no position: its row shows zeros and it
stays out of the mean.</td></tr>
<tr><td>More then 50 iterations without acceptable position solution</td>
<td>The least-squares fix found no position; it is shown as 0, 0.</td></tr>
<tr><td>Error -1 in MatSEqnD</td>
<td>The least-squares fix cannot be solved: fewer than two LOPs have a weight above
0, or the LOPs run parallel at the position.</td></tr>
<tr><td>Error 6 in MatMultD</td><td>A matrix product of the fix failed.</td></tr>
<tr><td>ARCSINUS DATA ERROR</td>
<td>A distance could not be computed for this position; the calculation stops.</td></tr>
<tr><td>Run-time error 6: Overflow<br>Run-time error 9: Subscript out of range<br>
Run-time error 11: Division by zero</td>
<td>A computation failed, for example with the position exactly on a station; the
results shown before stay and the window goes on.</td></tr>
<tr><td>Save setup to file Kestrune.ini ?</td>
<td>Yes saves and ends the program, No ends it without saving, Cancel goes
back.</td></tr>
<tr><td>Setup file Kestrune.ini is damaged (...). The default setup is used.<br>
Setup file Kestrune.ini cannot be read. The default setup is used.</td>
<td>The saved setup could not be used; the program starts with three empty rows at
position 0, 0.</td></tr>
<tr><td>Setup file Kestrune.ini could not be written.</td>
<td>The working directory cannot be written to; the window stays open.</td></tr>
</table>
)";

}  // namespace

const char* ProgramVersion() {
  return KESTRUNE_VERSION;
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("kestruneHelp");
  setWindowTitle("Kestrune Help");
  text_ = new QTextBrowser(this);
  text_->setHtml(QString::fromUtf8(kHelpHtml));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  QPushButton* about = buttons->addButton("About Kestrune", QDialogButtonBox::ActionRole);
  about->setObjectName("kestruneAbout");
  connect(about, &QPushButton::clicked, this, [this] { ShowAbout(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addWidget(buttons);
  resize(QSize(560, 520).boundedTo(LargestWindowSize(screen())));
}

QString AboutText() {
  return QString(
             "<h3>Kestrune %1</h3>"
             "<p>Loran-C TD and position calculations: the chain setup, the calculation "
             "window with its station table, least-squares fix, two-LOP fixes and their mean, "
             "and a chart of the last position solution with the LOPs, the fixes, the 95 % "
             "error ellipse and the coastline (Chart, Ctrl+K); the ASF predicted from the "
             "coastline by Millington's method, a setting of the calculation window (its "
             "right-click menu) and a layer of contours on the chart. For whole logbooks: "
             "kestrune-convert (TDs to positions, positions to TDs, calibration from known "
             "points) and kestrune-chart.</p>"
             "<p>Licensed under the MIT licence.</p>"
             "<p>Data shipped: the positions and emission delays of the stations of the four "
             "NELS chains 9007, 7001, 7499 and 6731 (Northwest European Loran-C System), built "
             "into the program; the chart's coastline of NW Europe from Natural Earth 1:10m "
             "land (public domain).</p>")
      .arg(ProgramVersion());
}

void HelpWindow::ShowAbout() {
  QMessageBox::about(this, "About Kestrune", AboutText());
}

}  // namespace kestrune::app
