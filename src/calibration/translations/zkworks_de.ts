<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>TCalibrationToolForm</name>
    <message>
        <source>dCALIBRATION</source>
        <translation>Kalibrierung</translation>
    </message>
    <message>
        <source>Calibration - ZEMA</source>
        <translation>Kalibrierung - ZEMA</translation>
    </message>
    <message>
        <source>Calibration - Vintrava</source>
        <translation>Kalibrierung - Vintrava</translation>
    </message>
    <message>
        <source>Calibration - HELIOMAT7xx</source>
        <translation>Kalibrierung - HELIOMAT7xx</translation>
    </message>
    <message>
        <source>Spectrum view contol</source>
        <translation>Spektrumansicht</translation>
    </message>
    <message>
        <source>lin/log</source>
        <translation>lin/log</translation>
    </message>
    <message>
        <source>Position (Channel)</source>
        <translation>Lage (Kanal)</translation>
    </message>
    <message>
        <source>Sigma (Channels)</source>
        <translation>Sigma (Kanäle)</translation>
    </message>
    <message>
        <source>FWHM [%]</source>
        <translation>Halbwertsbreite [%]</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Double click to add calibration point</source>
        <translation>Doppelklick fügt einen Kalibrierpunkt hinzu</translation>
    </message>
    <message>
        <source>Double click to remove calibration point</source>
        <translation>Doppelklick entfernt den Kalibrierpunkt</translation>
    </message>
    <message>
        <source>NaI library files (*.txt)|*.txt</source>
        <translation>NaI-Bibliotheksdateien (*.txt)|*.txt</translation>
    </message>
    <message>
        <source>keV)</source>
        <translation>keV)</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nuklid</translation>
    </message>
    <message>
        <source>Energy</source>
        <translation>Energie</translation>
    </message>
    <message>
        <source>Position</source>
        <translation>Lage</translation>
    </message>
    <message>
        <source>Sigma</source>
        <translation>σ</translation>
    </message>
    <message>
        <source>Energy calibration</source>
        <translation>Energiekalibrierung</translation>
    </message>
    <message>
        <source>Peak width calibration</source>
        <translation>Peakbreitenkalibrierung</translation>
    </message>
    <message>
        <source>Sigma [ch] vs. Channels</source>
        <translation>Sigma [Kan] vs. Kanal</translation>
    </message>
    <message>
        <source>Channel [ch] vs. Energy [keV]</source>
        <translation>Kanal [Kan] vs. Energie [keV]</translation>
    </message>
    <message>
        <source>Energy [keV] vs. Voltage [mV]</source>
        <translation>Energie [keV] vs. Spannung [mV]</translation>
    </message>
    <message>
        <source>Voltage [mV] vs. Energy [keV]</source>
        <translation>Spannung [mV] vs. Energie [keV]</translation>
    </message>
    <message>
        <source>Sigma rel [keV] vs. Energy [keV]</source>
        <translation>Sigma rel [keV] vs. Energie [keV]</translation>
    </message>
    <message>
        <source>Correlation = </source>
        <translation>Korrelation = </translation>
    </message>
</context>
</TS>
