<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="cs_CZ">
<context>
    <name>tx20ctl</name>
    <message>
        <source>cannot be opened</source>
        <translation>nelze otevřít</translation>
    </message>
    <message>
        <source>hint: this user may not use the serial port; join the group dialout (sudo usermod -aG dialout $USER), then log out and in again</source>
        <translation>rada: tento uživatel nesmí používat sériový port; přidejte se do skupiny dialout (sudo usermod -aG dialout $USER), pak se odhlaste a znovu přihlaste</translation>
    </message>
    <message>
        <source>hint: another program has the port open</source>
        <translation>rada: port má otevřený jiný program</translation>
    </message>
    <message>
        <source>%1 is not a parameter: the editor always writes it as 0</source>
        <translation>%1 není parametr: editor jej vždy zapisuje jako 0</translation>
    </message>
    <message>
        <source>%1 is not a valid value for %2: %3</source>
        <translation>%1 není platná hodnota pro %2: %3</translation>
    </message>
    <message>
        <source>table %1 has no field %2</source>
        <translation>tabulka %1 nemá pole %2</translation>
    </message>
    <message>
        <source>reading table 10 failed</source>
        <translation>čtení tabulky 10 selhalo</translation>
    </message>
    <message>
        <source>reading table %1 failed</source>
        <translation>čtení tabulky %1 selhalo</translation>
    </message>
    <message>
        <source>SP %1 lies outside SP_L %2 .. SP_H %3; nothing was written</source>
        <translation>SP %1 leží mimo SP_L %2 .. SP_H %3; nic nebylo zapsáno</translation>
    </message>
    <message>
        <source>writing table %1 failed</source>
        <translation>zápis tabulky %1 selhal</translation>
    </message>
    <message>
        <source>storing in EEPROM failed</source>
        <translation>zápis do EEPROM selhal</translation>
    </message>
    <message>
        <source>no station answered</source>
        <translation>žádná stanice neodpověděla</translation>
    </message>
    <message>
        <source>reading the version text failed</source>
        <translation>čtení textu verze selhalo</translation>
    </message>
    <message>
        <source>reading the type text failed</source>
        <translation>čtení textu typu selhalo</translation>
    </message>
    <message>
        <source>the device did not identify itself</source>
        <translation>zařízení se neidentifikovalo</translation>
    </message>
    <message>
        <source>option %1 needs a value</source>
        <translation>volba %1 potřebuje hodnotu</translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation>neznámá volba %1</translation>
    </message>
    <message>
        <source>%1 is not a controller address @0..@126</source>
        <translation>%1 není adresa regulátoru @0..@126</translation>
    </message>
    <message>
        <source>backup needs one FILE</source>
        <translation>backup potřebuje jeden SOUBOR</translation>
    </message>
    <message>
        <source>diff needs A and optionally B</source>
        <translation>diff potřebuje A a případně B</translation>
    </message>
    <message>
        <source>unexpected argument %1</source>
        <translation>nečekaný argument %1</translation>
    </message>
    <message>
        <source>clone needs --from FILE|@N</source>
        <translation>clone potřebuje --from SOUBOR|@N</translation>
    </message>
    <message>
        <source>clone needs --to LIST</source>
        <translation>clone potřebuje --to SEZNAM</translation>
    </message>
    <message>
        <source>report needs --out FILE.pdf</source>
        <translation>report potřebuje --out SOUBOR.pdf</translation>
    </message>
    <message>
        <source>none</source>
        <translation>žádná</translation>
    </message>
    <message>
        <source>verified</source>
        <translation>ověřeno</translation>
    </message>
    <message>
        <source>not verified</source>
        <translation>neověřeno</translation>
    </message>
    <message>
        <source>nothing written (dry run)</source>
        <translation>bez zápisu (zkouška)</translation>
    </message>
    <message>
        <source>interrupted</source>
        <translation>přerušeno</translation>
    </message>
    <message>
        <source>%1: %2 &quot;%3&quot; refused: %4</source>
        <translation>%1: %2 „%3“ odmítnuto: %4</translation>
    </message>
    <message>
        <source>nothing was written</source>
        <translation>nic nebylo zapsáno</translation>
    </message>
    <message>
        <source>target %1 of %2: @%3</source>
        <translation>cíl %1 z %2: @%3</translation>
    </message>
    <message>
        <source>to write: %1</source>
        <translation>k zápisu: %1</translation>
    </message>
    <message>
        <source>written: %1</source>
        <translation>zapsáno: %1</translation>
    </message>
    <message>
        <source>interrupted; the controllers after it were not touched</source>
        <translation>přerušeno; regulátorů po něm se nic nedotklo</translation>
    </message>
    <message>
        <source>--port is required</source>
        <translation>--port je povinný</translation>
    </message>
    <message>
        <source>a decimal number is expected, with a decimal point or comma</source>
        <translation>je nutné zadat desetinné číslo, s desetinnou tečkou nebo čárkou</translation>
    </message>
    <message>
        <source>a whole number is expected</source>
        <translation>je nutné zadat celé číslo</translation>
    </message>
    <message>
        <source>the value must lie in %1..%2</source>
        <translation>hodnota musí ležet v rozsahu %1..%2</translation>
    </message>
    <message>
        <source>the list has the positions %1..%2 only</source>
        <translation>seznam má jen položky %1..%2</translation>
    </message>
    <message>
        <source>the set point lies outside its limits</source>
        <translation>žádaná hodnota je mimo hranice nastavení</translation>
    </message>
    <message>
        <source>serial port %1 cannot be opened</source>
        <translation>sériový port %1 nelze otevřít</translation>
    </message>
    <message>
        <source>the buffers of %1 cannot be set</source>
        <translation>na %1 nelze otevřít vyrovnávací buffer</translation>
    </message>
    <message>
        <source>the time-outs of %1 cannot be set</source>
        <translation>na %1 nelze nastavit timeout</translation>
    </message>
    <message>
        <source>the settings of serial port %1 cannot be read</source>
        <translation>nelze získat konfiguraci sériového portu %1</translation>
    </message>
    <message>
        <source>serial port %1 cannot be set up</source>
        <translation>port %1 nelze nastavit</translation>
    </message>
    <message>
        <source>--da must be an address 0..126</source>
        <translation>--da musí být adresa 0..126</translation>
    </message>
    <message>
        <source>--sa must be an address 0..126</source>
        <translation>--sa musí být adresa 0..126</translation>
    </message>
    <message>
        <source>--rate must be a positive number of bits per second</source>
        <translation>--rate musí být kladný počet bitů za sekundu</translation>
    </message>
    <message>
        <source>--rule must be simc, lambda=SECONDS, amigo or zn</source>
        <translation>--rule musí být simc, lambda=SEKUNDY, amigo nebo zn</translation>
    </message>
    <message>
        <source>--span must be a number above 0</source>
        <translation>--span musí být číslo větší než 0</translation>
    </message>
    <message>
        <source>--tpid must be 1..10</source>
        <translation>--tpid musí být 1..10</translation>
    </message>
    <message>
        <source>--sp-step must be a number other than 0</source>
        <translation>--sp-step musí být číslo různé od 0</translation>
    </message>
    <message>
        <source>--duration must be 10..86400 seconds</source>
        <translation>--duration musí být 10..86400 sekund</translation>
    </message>
    <message>
        <source>--before must be 1..3600 seconds</source>
        <translation>--before musí být 1..3600 sekund</translation>
    </message>
    <message>
        <source>tune needs a LOG</source>
        <translation>tune potřebuje ZÁZNAM</translation>
    </message>
    <message>
        <source>--from %1 lies after --to %2</source>
        <translation>--from %1 leží po --to %2</translation>
    </message>
    <message>
        <source>--write needs --port</source>
        <translation>--write potřebuje --port</translation>
    </message>
    <message>
        <source>steptest needs --sp-step DELTA</source>
        <translation>steptest potřebuje --sp-step ZMĚNA</translation>
    </message>
    <message>
        <source>steptest needs --duration S</source>
        <translation>steptest potřebuje --duration S</translation>
    </message>
    <message>
        <source>steptest needs --out LOG</source>
        <translation>steptest potřebuje --out ZÁZNAM</translation>
    </message>
    <message>
        <source>%1: the log holds no samples</source>
        <translation>%1: záznam neobsahuje žádné vzorky</translation>
    </message>
    <message>
        <source>--from %1 is no ISO 8601 date-time nor H:MM:SS</source>
        <translation>--from %1 není datum a čas podle ISO 8601 ani H:MM:SS</translation>
    </message>
    <message>
        <source>--to %1 is no ISO 8601 date-time nor H:MM:SS</source>
        <translation>--to %1 není datum a čas podle ISO 8601 ani H:MM:SS</translation>
    </message>
    <message>
        <source>the range lies outside the log (%1 .. %2)</source>
        <translation>rozsah leží mimo záznam (%1 .. %2)</translation>
    </message>
    <message>
        <source>reading tables 2 and 4 failed; nothing was written</source>
        <translation>čtení tabulek 2 a 4 selhalo; nic nebylo zapsáno</translation>
    </message>
    <message>
        <source>the controller&apos;s range STRS..ENDS is empty; nothing was written</source>
        <translation>rozsah regulátoru STRS..ENDS je prázdný; nic nebylo zapsáno</translation>
    </message>
    <message>
        <source>reading the set point failed; nothing was changed</source>
        <translation>čtení žádané hodnoty selhalo; nic nebylo změněno</translation>
    </message>
    <message>
        <source>set point %1 -&gt; %2</source>
        <translation>žádaná hodnota %1 -&gt; %2</translation>
    </message>
    <message>
        <source>%1 s, %2 %: MEAS %3, YOUT %4 %</source>
        <translation>%1 s, %2 %: MEAS %3, YOUT %4 %</translation>
    </message>
    <message>
        <source>the step could not be written: %1</source>
        <translation>skok nelze zapsat: %1</translation>
    </message>
    <message>
        <source>the controller stopped answering; the test was stopped</source>
        <translation>regulátor přestal odpovídat; zkouška byla zastavena</translation>
    </message>
    <message>
        <source>settled after %1 s</source>
        <translation>ustáleno po %1 s</translation>
    </message>
    <message>
        <source>not settled within %1 s</source>
        <translation>neustáleno do %1 s</translation>
    </message>
    <message>
        <source>WARNING: the old set point %1 could NOT be put back (%2); the controller may still be at %3</source>
        <translation>POZOR: původní žádanou hodnotu %1 se NEPODAŘILO vrátit (%2); regulátor může stále mít %3</translation>
    </message>
    <message>
        <source>set point %1 put back</source>
        <translation>žádaná hodnota %1 vrácena</translation>
    </message>
    <message>
        <source>log written to %1 (%2 readings)</source>
        <translation>záznam zapsán do %1 (%2 čtení)</translation>
    </message>
</context>
</TS>
