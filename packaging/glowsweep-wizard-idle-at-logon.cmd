@echo off
rem Makes Windows start the idle washer at every logon: writes "Glowsweep Wizard When Idle.cmd"
rem into your Startup folder, which starts glowsweep-wizard.exe of this folder with the
rem arguments given here, or these:
rem
rem     --wash all --when-idle 2m --duration 10m
rem
rem To stop it, delete that file from the Startup folder (Win+R, shell:startup). Run this again
rem after moving the program's folder.
setlocal
set "startup=%APPDATA%\Microsoft\Windows\Start Menu\Programs\Startup"
set "arguments=%*"
if not defined arguments set "arguments=--wash all --when-idle 2m --duration 10m"
if not exist "%startup%\" mkdir "%startup%"
>"%startup%\Glowsweep Wizard When Idle.cmd" echo @start "" "%~dp0glowsweep-wizard.exe" %arguments%
if not exist "%startup%\Glowsweep Wizard When Idle.cmd" (
    echo The Startup folder "%startup%" cannot be written to.
    exit /b 1
)
echo From your next logon on, "%startup%\Glowsweep Wizard When Idle.cmd" starts
echo "%~dp0glowsweep-wizard.exe" %arguments%
