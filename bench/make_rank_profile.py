#!/usr/bin/env python3
"""Creates the ranking benchmark's profile natively, the same every time (a fixed seed): a Start menu of
program shortcuts as an installed machine has them, the programs under a Program Files folder, a desktop,
recent documents, about 5,000 documents with the names people give them, and a browser profile: a
history of 10,000 addresses (as tab-separated rows the benchmark turns into the browser's database) and
about 300 bookmarks; and, apart, 50,000 documents of one folder for timing a search of many candidates.
Writes queries.tsv beside them: what a user types, and the one item meant; and shortcuts.tsv: what each
shortcut points at (the benchmark writes the shortcut files through the shell, which Python cannot).

usage: make_rank_profile.py FOLDER [--history N]
"""
import json
import os
import random
import sys
import urllib.parse

SEED = 2026

# Start-menu shortcuts: (folder under Programs or "", name, program file under Program Files or None).
SHORTCUTS = [
    ("", "Google Chrome", "Google/Chrome/Application/chrome.exe"),
    ("", "Firefox", "Mozilla Firefox/firefox.exe"),
    ("", "Microsoft Edge", "Microsoft/Edge/Application/msedge.exe"),
    ("", "Visual Studio Code", "Microsoft VS Code/Code.exe"),
    ("", "Visual Studio 2022", "Microsoft Visual Studio/2022/Community/Common7/IDE/devenv.exe"),
    ("", "Word", "Microsoft Office/root/Office16/WINWORD.EXE"),
    ("", "Excel", "Microsoft Office/root/Office16/EXCEL.EXE"),
    ("", "PowerPoint", "Microsoft Office/root/Office16/POWERPNT.EXE"),
    ("", "Outlook", "Microsoft Office/root/Office16/OUTLOOK.EXE"),
    ("", "OneNote", "Microsoft Office/root/Office16/ONENOTE.EXE"),
    ("", "Access", "Microsoft Office/root/Office16/MSACCESS.EXE"),
    ("", "Publisher", "Microsoft Office/root/Office16/MSPUB.EXE"),
    ("", "Microsoft Teams", "Microsoft/Teams/current/Teams.exe"),
    ("", "OneDrive", "Microsoft OneDrive/OneDrive.exe"),
    ("", "Notepad++", "Notepad++/notepad++.exe"),
    ("", "Spotify", "Spotify/Spotify.exe"),
    ("", "Slack", "Slack/slack.exe"),
    ("", "Zoom", "Zoom/bin/Zoom.exe"),
    ("", "Discord", "Discord/app-1.0.9028/Discord.exe"),
    ("", "Steam", "Steam/steam.exe"),
    ("", "VLC media player", "VideoLAN/VLC/vlc.exe"),
    ("", "GIMP 2.10.36", "GIMP 2/bin/gimp-2.10.exe"),
    ("", "Inkscape", "Inkscape/bin/inkscape.exe"),
    ("", "Audacity", "Audacity/Audacity.exe"),
    ("", "OBS Studio", "obs-studio/bin/64bit/obs64.exe"),
    ("", "Blender 4.1", "Blender Foundation/Blender 4.1/blender.exe"),
    ("", "Adobe Acrobat Reader", "Adobe/Acrobat Reader DC/Reader/AcroRd32.exe"),
    ("", "Adobe Photoshop 2024", "Adobe/Adobe Photoshop 2024/Photoshop.exe"),
    ("", "Adobe Lightroom Classic", "Adobe/Adobe Lightroom Classic/Lightroom.exe"),
    ("", "Dropbox", "Dropbox/Client/Dropbox.exe"),
    ("", "KeePass", "KeePass Password Safe 2/KeePass.exe"),
    ("", "Thunderbird", "Mozilla Thunderbird/thunderbird.exe"),
    ("", "WhatsApp", "WindowsApps/WhatsApp/WhatsApp.exe"),
    ("", "Telegram", "Telegram Desktop/Telegram.exe"),
    ("", "Signal", "Signal/Signal.exe"),
    ("", "Skype", "Microsoft/Skype for Desktop/Skype.exe"),
    ("", "GitHub Desktop", "GitHubDesktop/GitHubDesktop.exe"),
    ("", "Postman", "Postman/Postman.exe"),
    ("", "Docker Desktop", "Docker/Docker/Docker Desktop.exe"),
    ("", "WinSCP", "WinSCP/WinSCP.exe"),
    ("", "PuTTY", "PuTTY/putty.exe"),
    ("", "FileZilla", "FileZilla FTP Client/filezilla.exe"),
    ("", "Paint.NET", "paint.net/paintdotnet.exe"),
    ("", "IrfanView 64", "IrfanView/i_view64.exe"),
    ("", "Everything Else Search", "Everything Else/search.exe"),
    ("", "Calibre", "Calibre2/calibre.exe"),
    ("", "Evernote", "Evernote/Evernote.exe"),
    ("", "Notion", "Notion/Notion.exe"),
    ("", "Obsidian", "Obsidian/Obsidian.exe"),
    ("", "Figma", "Figma/Figma.exe"),
    ("", "Epic Games Launcher", "Epic Games/Launcher/Portal/Binaries/Win64/EpicGamesLauncher.exe"),
    ("", "Battle.net", "Battle.net/Battle.net Launcher.exe"),
    ("", "Minecraft Launcher", "Minecraft Launcher/MinecraftLauncher.exe"),
    ("", "HandBrake", "HandBrake/HandBrake.exe"),
    ("", "qBittorrent", "qBittorrent/qbittorrent.exe"),
    ("", "Brave", "BraveSoftware/Brave-Browser/Application/brave.exe"),
    ("", "Opera Browser", "Opera/launcher.exe"),
    ("", "Snipping Tool", None),
    ("", "Settings", None),
    ("", "Calculator", None),
    ("", "Camera", None),
    ("", "Photos", None),
    ("", "Microsoft Store", None),
    ("", "Mail", None),
    ("", "Calendar", None),
    ("", "Maps", None),
    ("", "Weather", None),
    ("", "Clock", None),
    ("", "Xbox", None),
    ("", "Windows Terminal", "WindowsApps/Microsoft.WindowsTerminal/wt.exe"),
    ("", "Windows Security", None),
    ("", "Windows Media Player", "Windows Media Player/wmplayer.exe"),
    ("", "Get Help", None),
    ("", "Tips", None),
    ("", "Sticky Notes", None),
    ("", "Sound Recorder", None),
    ("", "Phone Link", None),
    ("", "Power Automate", None),
    ("", "Clipchamp", None),
    ("Accessories", "Notepad", None),
    ("Accessories", "Paint", None),
    ("Accessories", "WordPad", "Windows NT/Accessories/wordpad.exe"),
    ("Accessories", "Remote Desktop Connection", None),
    ("Accessories", "Steps Recorder", None),
    ("Accessories", "Character Map", None),
    ("Accessories", "Math Input Panel", None),
    ("Accessories", "Internet Explorer", "Internet Explorer/iexplore.exe"),
    ("Windows Tools", "Task Manager", None),
    ("Windows Tools", "Command Prompt", None),
    ("Windows Tools", "Windows PowerShell", None),
    ("Windows Tools", "Windows PowerShell ISE", None),
    ("Windows Tools", "Control Panel", None),
    ("Windows Tools", "Device Manager", None),
    ("Windows Tools", "Disk Cleanup", None),
    ("Windows Tools", "Event Viewer", None),
    ("Windows Tools", "Registry Editor", None),
    ("Windows Tools", "Resource Monitor", None),
    ("Windows Tools", "Services", None),
    ("Windows Tools", "System Configuration", None),
    ("Windows Tools", "System Information", None),
    ("Windows Tools", "Task Scheduler", None),
    ("Windows Tools", "Computer Management", None),
    ("Windows Tools", "Disk Management", None),
    ("Windows Tools", "Performance Monitor", None),
    ("Windows Tools", "Windows Memory Diagnostic", None),
    ("Windows Tools", "Windows Fax and Scan", None),
    ("Windows Tools", "Run", None),
    ("Windows Tools", "Recovery Drive", None),
    ("Windows Tools", "Print Management", None),
    ("Windows Tools", "ODBC Data Sources (64-bit)", None),
    ("Accessibility", "Magnifier", None),
    ("Accessibility", "Narrator", None),
    ("Accessibility", "On-Screen Keyboard", None),
    ("7-Zip", "7-Zip File Manager", "7-Zip/7zFM.exe"),
    ("7-Zip", "7-Zip Help", None),
    ("Microsoft Office Tools", "Database Compare", None),
    ("Microsoft Office Tools", "Office Language Preferences", None),
    ("Microsoft Office Tools", "Skype for Business Recording Manager", None),
    ("Microsoft Office Tools", "Spreadsheet Compare", None),
    ("Microsoft Office Tools", "Telemetry Log for Office", None),
    ("Visual Studio 2022", "Developer Command Prompt for VS 2022", None),
    ("Visual Studio 2022", "Developer PowerShell for VS 2022", None),
    ("Visual Studio 2022", "x64 Native Tools Command Prompt for VS 2022", None),
    ("Visual Studio 2022", "Blend for Visual Studio 2022", None),
    ("Python 3.12", "IDLE (Python 3.12 64-bit)", None),
    ("Python 3.12", "Python 3.12 (64-bit)", "Python312/python.exe"),
    ("Python 3.12", "Python 3.12 Manuals (64-bit)", None),
    ("Python 3.12", "Python 3.12 Module Docs (64-bit)", None),
    ("Git", "Git Bash", "Git/git-bash.exe"),
    ("Git", "Git CMD", "Git/git-cmd.exe"),
    ("Git", "Git GUI", "Git/cmd/git-gui.exe"),
    ("Git", "Git Release Notes", None),
    ("Node.js", "Node.js", "nodejs/node.exe"),
    ("Node.js", "Node.js command prompt", None),
    ("Node.js", "Node.js Website", None),
    ("LibreOffice", "LibreOffice", "LibreOffice/program/soffice.exe"),
    ("LibreOffice", "LibreOffice Calc", "LibreOffice/program/scalc.exe"),
    ("LibreOffice", "LibreOffice Writer", "LibreOffice/program/swriter.exe"),
    ("LibreOffice", "LibreOffice Impress", "LibreOffice/program/simpress.exe"),
    ("LibreOffice", "LibreOffice Draw", "LibreOffice/program/sdraw.exe"),
    ("LibreOffice", "LibreOffice Math", "LibreOffice/program/smath.exe"),
    ("LibreOffice", "LibreOffice Base", "LibreOffice/program/sbase.exe"),
    ("Oracle VM VirtualBox", "Oracle VM VirtualBox", "Oracle/VirtualBox/VirtualBox.exe"),
    ("Oracle VM VirtualBox", "Oracle VM VirtualBox User Manual", None),
    ("Wireshark", "Wireshark", "Wireshark/Wireshark.exe"),
    ("Startup", "Send to OneNote", None),
    ("Maintenance", "Help", None),
]

# What Windows' own shortcuts and those of the tools beside the programs point at, where a path is what
# they point at (store apps and shell items have none). "%...%" is the machine's environment; any other
# path is under the profile.
SYSTEM = "%SystemRoot%/System32/"
TARGETS = {
    "Notepad": SYSTEM + "notepad.exe",
    "Paint": SYSTEM + "mspaint.exe",
    "Remote Desktop Connection": SYSTEM + "mstsc.exe",
    "Steps Recorder": SYSTEM + "psr.exe",
    "Character Map": SYSTEM + "charmap.exe",
    "Math Input Panel": "%CommonProgramFiles%/Microsoft Shared/Ink/mip.exe",
    "Task Manager": SYSTEM + "Taskmgr.exe",
    "Command Prompt": SYSTEM + "cmd.exe",
    "Windows PowerShell": SYSTEM + "WindowsPowerShell/v1.0/powershell.exe",
    "Windows PowerShell ISE": SYSTEM + "WindowsPowerShell/v1.0/powershell_ise.exe",
    "Control Panel": SYSTEM + "control.exe",
    "Device Manager": SYSTEM + "devmgmt.msc",
    "Disk Cleanup": SYSTEM + "cleanmgr.exe",
    "Event Viewer": SYSTEM + "eventvwr.msc",
    "Registry Editor": "%SystemRoot%/regedit.exe",
    "Resource Monitor": SYSTEM + "perfmon.exe",
    "Services": SYSTEM + "services.msc",
    "System Configuration": SYSTEM + "msconfig.exe",
    "System Information": SYSTEM + "msinfo32.exe",
    "Task Scheduler": SYSTEM + "taskschd.msc",
    "Computer Management": SYSTEM + "compmgmt.msc",
    "Disk Management": SYSTEM + "diskmgmt.msc",
    "Performance Monitor": SYSTEM + "perfmon.msc",
    "Windows Memory Diagnostic": SYSTEM + "MdSched.exe",
    "Windows Fax and Scan": SYSTEM + "WFS.exe",
    "Recovery Drive": SYSTEM + "RecoveryDrive.exe",
    "Print Management": SYSTEM + "printmanagement.msc",
    "ODBC Data Sources (64-bit)": SYSTEM + "odbcad32.exe",
    "Magnifier": SYSTEM + "magnify.exe",
    "Narrator": SYSTEM + "Narrator.exe",
    "On-Screen Keyboard": SYSTEM + "osk.exe",
    "7-Zip Help": "Program Files/7-Zip/7-zip.chm",
    "Database Compare": "Program Files/Microsoft Office/root/Client/DATABASECOMPARE.EXE",
    "Office Language Preferences": "Program Files/Microsoft Office/root/Office16/SETLANG.EXE",
    "Spreadsheet Compare": "Program Files/Microsoft Office/root/Client/SPREADSHEETCOMPARE.EXE",
    "Developer Command Prompt for VS 2022": SYSTEM + "cmd.exe",
    "Developer PowerShell for VS 2022": SYSTEM + "WindowsPowerShell/v1.0/powershell.exe",
    "x64 Native Tools Command Prompt for VS 2022": SYSTEM + "cmd.exe",
    "Blend for Visual Studio 2022": "Program Files/Microsoft Visual Studio/2022/Community/Common7/IDE/Blend.exe",
    "IDLE (Python 3.12 64-bit)": "Program Files/Python312/pythonw.exe",
    "Python 3.12 Manuals (64-bit)": "Program Files/Python312/Doc/python3124.chm",
    "Python 3.12 Module Docs (64-bit)": "Program Files/Python312/python.exe",
    "Git Release Notes": "Program Files/Git/ReleaseNotes.html",
    "Node.js command prompt": SYSTEM + "cmd.exe",
    "Oracle VM VirtualBox User Manual": "Program Files/Oracle/VirtualBox/VirtualBox.chm",
    "Send to OneNote": "Program Files/Microsoft Office/root/Office16/ONENOTEM.EXE",
}

# The documents and folders the Recent folder's shortcuts open, some of them gone since.
RECENT = {
    "Budget 2026": "Documents/Finance/Budget 2026.xls",
    "meeting notes 2026-11-30": "Documents/meeting notes 2026-11-30.doc",
    "Scans": "Documents/Scans",
    "Work": "Documents/Work",
    "Invoice 2026-0042": "Desktop/Invoice 2026-0042.pdf",
    "notes-2025": "Documents/notes-2025.txt",
    "Screenshot 2026-12-01 101512": "Desktop/Screenshot 2026-12-01 101512.jpg",
    "report draft v3": "Documents/Work/report draft v3.doc",
    "Downloads": "Documents/Downloads",
    "Travel": "Documents/Travel",
}

# Shortcuts a Start menu keeps that the menu's folders exclude: their names hold "uninstall".
UNINSTALLERS = ["Uninstall 7-Zip", "Uninstall Notepad++", "Uninstall VLC media player", "Uninstall GIMP",
                "Uninstall Audacity", "Uninstall FileZilla", "Uninstall Wireshark", "Uninstall KeePass"]

# Helper programs found beside the main ones under Program Files.
HELPERS = ["updater.exe", "uninstall.exe", "unins000.exe", "crashreporter.exe", "helper.exe",
           "elevation_service.exe", "notification_helper.exe", "setup.exe", "maintenanceservice.exe",
           "vcredist_x64.exe", "launcher.exe", "CrashHandler.exe", "QtWebEngineProcess.exe", "7z.exe",
           "Update.exe", "plugin-container.exe", "default-browser-agent.exe", "pingsender.exe"]

# The documents the queries mean, among the generated ones (path under Documents).
NAMED_DOCUMENTS = [
    "meeting notes.doc",
    "notes-2026.txt",
    "todo.txt",
    "Café menu.pdf",
    "Résumé 2026.doc",
    "Recipes/Crème brûlée.doc",
    "Travel/Zürich hotel booking.pdf",
    "Travel/München Oktoberfest plan.doc",
    "Travel/Trip to Paris itinerary.doc",
    "Travel/São Paulo flights.pdf",
    "Finance/Tax return 2025.pdf",
    "Finance/Budget 2026.xls",
    "Finance/Acme Corp invoice 2026-03.pdf",
    "Finance/Car insurance policy.pdf",
    "Home/Apartment lease agreement.pdf",
    "Home/Passport scan.jpg",
    "Family/Wedding guest list.xls",
    "Family/Noël 2025 photos.pdf",
    "Work/Quarterly report March 2026.doc",
    "Work/John Miller CV.doc",
    "University/Thesis final draft.doc",
    "University/Señora Gómez letter.doc",
    "Music/Beyoncé - Halo.mp3",
    "Health/Vaccination record.pdf",
    "Work/Project Phoenix kickoff slides.pdf",
    "Work/Employee handbook.pdf",
    "Home/Electricity bill November.pdf",
    "Garden plan.jpg",
]

# Words the generated documents are made of.
DOC_SUBJECTS = ["meeting notes", "notes", "report", "invoice", "budget", "letter", "contract", "minutes",
                "proposal", "presentation", "summary", "plan", "checklist", "receipt", "statement",
                "agenda", "draft", "review", "schedule", "estimate", "order", "quote", "manual", "memo"]
DOC_TOPICS = ["project alpha", "marketing", "sales", "team", "client", "board", "quarterly", "annual",
              "school", "house", "garden", "holiday", "car", "insurance", "bank", "tax", "health",
              "renovation", "conference", "training", "website", "product launch", "hiring", "audit",
              "Acme", "Globex", "Initech", "Umbrella", "Stark", "Wayne", "partner", "supplier"]
DOC_FOLDERS = ["Work", "Work/Projects", "Work/Archive", "Work/Clients", "Finance", "Finance/Receipts",
               "Home", "Family", "University", "Travel", "Recipes", "Scans", "Downloads", "Misc",
               "Work/Meetings", "Work/Reports", "Photos/2023", "Photos/2024", "Photos/2025", "Music"]
DOC_EXTENSIONS = [".doc", ".pdf", ".txt", ".xls", ".doc", ".pdf"]
PHOTO_PLACES = ["beach", "mountains", "birthday", "christmas", "wedding", "garden", "city", "lake",
                "museum", "concert", "party", "hike", "zoo", "Café terrace", "Málaga", "Kraków"]
MONTHS = ["January", "February", "March", "April", "May", "June", "July", "August", "September",
          "October", "November", "December"]

# Hosts of the history: (host, share of visits, title maker, paths).
SITE_WORDS = ["python", "windows", "linux", "rust", "javascript", "recipe", "weather", "news", "music",
              "football", "election", "travel", "camera", "laptop", "coffee", "bicycle", "garden",
              "history", "science", "economy", "movies", "books", "health", "jobs", "housing"]
WIKI_ARTICLES = ["Python (programming language)", "New York City", "Albert Einstein", "World War II",
                 "Paris", "Coffee", "Pizza", "Climate change", "Moon", "Roman Empire", "Tokyo", "Jazz",
                 "Photosynthesis", "Leonardo da Vinci", "Mount Everest", "Bitcoin", "Linux", "Chess",
                 "Olympic Games", "Amazon rainforest", "Café", "Zürich", "São Paulo", "Pokémon",
                 "Beyoncé", "Crème brûlée", "Nikola Tesla", "Black hole", "Great Wall of China", "Vienna"]
GITHUB_REPOS = ["torvalds/linux", "microsoft/vscode", "python/cpython", "rust-lang/rust", "nodejs/node",
                "facebook/react", "golang/go", "kubernetes/kubernetes", "tensorflow/tensorflow",
                "django/django", "pallets/flask", "git/git", "neovim/neovim", "curl/curl", "sqlite/sqlite",
                "ohmyzsh/ohmyzsh", "denoland/deno", "vuejs/core", "ansible/ansible", "home-assistant/core"]
GITHUB_PAGES = ["", "/issues", "/pulls", "/actions", "/releases", "/wiki", "/blob/main/README.md",
                "/issues/1234", "/pull/567", "/tree/main/src", "/commits/main", "/discussions"]


def week_days(rng):
    return rng.choice([0.2, 0.5, 1, 2, 3, 5, 8, 13, 21, 34, 60, 90, 180, 365])


def history_rows(count, rng):
    """(url, title, visits, days ago): the sites the queries mean, with their front pages visited most,
    and thousands of deeper pages over many hosts."""
    fixed = [
        ("https://github.com/", "GitHub", 412, 0.1),
        ("https://en.wikipedia.org/wiki/Main_Page", "Wikipedia, the free encyclopedia", 95, 1),
        ("https://www.youtube.com/", "YouTube", 530, 0.05),
        ("https://mail.google.com/mail/u/0/#inbox", "Inbox (3) - jane.doe@gmail.com - Gmail", 880, 0.02),
        ("https://www.amazon.com/", "Amazon.com. Spend less. Smile more.", 140, 2),
        ("https://www.reddit.com/", "Reddit - Dive into anything", 260, 0.3),
        ("https://stackoverflow.com/", "Stack Overflow - Where Developers Learn, Share, & Build Careers",
         75, 1),
        ("https://www.netflix.com/browse", "Home - Netflix", 120, 1),
        ("https://www.google.com/maps", "Google Maps", 66, 3),
        ("https://drive.google.com/drive/my-drive", "My Drive - Google Drive", 90, 1),
        ("https://docs.google.com/document/u/0/", "Google Docs", 70, 2),
        ("https://calendar.google.com/calendar/u/0/r", "Google Calendar - Week of December 7, 2026", 150, 0.4),
        ("https://www.linkedin.com/feed/", "Feed | LinkedIn", 85, 1),
        ("https://x.com/home", "Home / X", 200, 0.5),
        ("https://www.bbc.com/news", "BBC News - Home", 110, 0.7),
        ("https://weather.com/", "National and Local Weather Radar, Daily Forecast | The Weather Channel", 60,
         2),
        ("https://chatgpt.com/", "ChatGPT", 310, 0.1),
        ("https://trello.com/b/x1y2z3/home-renovation", "Home renovation | Trello", 40, 4),
        ("https://acme.atlassian.net/jira/your-work", "Your work - Jira", 190, 0.2),
        ("https://translate.google.com/", "Google Translate", 55, 5),
        ("https://www.imdb.com/", "IMDb: Ratings, Reviews, and Where to Watch the Best Movies & TV Shows", 30,
         9),
        ("https://www.ebay.com/", "Electronics, Cars, Fashion, Collectibles & More | eBay", 25, 14),
        ("https://www.nytimes.com/", "The New York Times - Breaking News, US News, World News and Videos", 80,
         1),
        ("https://outlook.office.com/mail/", "Mail - Jane Doe - Outlook", 170, 0.3),
        ("https://www.dropbox.com/home", "Files - Dropbox", 20, 20),
        ("https://fr.wikipedia.org/wiki/Caf%C3%A9_de_Flore", "Café de Flore — Wikipédia", 3, 40),
        ("https://www.booking.com/", "Booking.com | Official site | The best hotels, flights, car rentals", 22,
         30),
        ("https://web.whatsapp.com/", "WhatsApp", 45, 1),
        ("https://www.twitch.tv/", "Twitch", 35, 6),
        ("https://news.ycombinator.com/", "Hacker News", 240, 0.2),
    ]
    rows = [(u, t, v, d) for (u, t, v, d) in fixed]
    seen = {u for (u, _, _, _) in rows}
    hosts = [
        ("github.com", 10),
        ("en.wikipedia.org", 8),
        ("www.youtube.com", 12),
        ("www.google.com", 14),
        ("stackoverflow.com", 8),
        ("www.reddit.com", 8),
        ("www.amazon.com", 6),
        ("news.ycombinator.com", 3),
        ("www.nytimes.com", 4),
        ("www.bbc.com", 4),
        ("docs.google.com", 4),
        ("medium.com", 3),
        ("www.theguardian.com", 3),
        ("developer.mozilla.org", 3),
        ("learn.microsoft.com", 3),
    ]
    for n in range(60):
        hosts.append((f"www.{rng.choice(SITE_WORDS)}{rng.choice(['hub', 'daily', 'world', 'zone', 'online', 'times', 'shop', 'blog'])}{n}.com", 1))
    weights = [w for (_, w) in hosts]
    while len(rows) < count:
        host = rng.choices(hosts, weights)[0][0]
        word = rng.choice(SITE_WORDS)
        number = rng.randrange(1, 999999)
        if host == "github.com":
            repo = rng.choice(GITHUB_REPOS)
            page = rng.choice(GITHUB_PAGES)
            url = f"https://github.com/{repo}{page}"
            if page.startswith("/issues/") or page.startswith("/pull/"):
                url = f"https://github.com/{repo}{page.rsplit('/', 1)[0]}/{number % 40000}"
            title = f"{repo}{': ' + page.strip('/').split('/')[0].capitalize() if page else ''} · GitHub"
        elif host == "en.wikipedia.org":
            article = rng.choice(WIKI_ARTICLES + [f"{word.capitalize()} ({rng.choice(['film', 'band', 'album', 'novel'])} {1950 + number % 75})"])
            # Browsers keep addresses percent-encoded: "Café" is "Caf%C3%A9".
            url = f"https://en.wikipedia.org/wiki/{urllib.parse.quote(article.replace(' ', '_'))}?oldid={number}"
            title = f"{article} - Wikipedia"
        elif host == "www.youtube.com":
            url = f"https://www.youtube.com/watch?v={number:x}{rng.randrange(1 << 20):05x}"
            title = f"{word.capitalize()} {rng.choice(['tutorial', 'review', 'live', 'highlights', 'explained', 'vlog'])} #{number % 500} - YouTube"
        elif host == "www.google.com":
            terms = f"{word} {rng.choice(SITE_WORDS)}"
            url = f"https://www.google.com/search?q={terms.replace(' ', '+')}&ei={number}"
            title = f"{terms} - Google Search"
        elif host == "stackoverflow.com":
            url = f"https://stackoverflow.com/questions/{number}/how-to-{word}-in-{rng.choice(SITE_WORDS)}"
            title = f"How to {word} in {rng.choice(SITE_WORDS)}? - Stack Overflow"
        elif host == "www.reddit.com":
            url = f"https://www.reddit.com/r/{word}/comments/{number:x}/"
            title = f"r/{word} - {rng.choice(['Anyone else', 'Question about', 'My first', 'Best'])} {rng.choice(SITE_WORDS)}"
        elif host == "www.amazon.com":
            url = f"https://www.amazon.com/dp/B0{number:08d}"
            title = f"Amazon.com: {word.capitalize()} {rng.choice(['kit', 'set', 'stand', 'case', 'cable'])} {number % 100}"
        else:
            url = f"https://{host}/{word}/{number}-{rng.choice(SITE_WORDS)}"
            title = f"{word.capitalize()} {rng.choice(SITE_WORDS)} {number % 1000} | {host.split('.')[-2].capitalize()}"
        if url in seen:
            continue
        seen.add(url)
        rows.append((url, title, 1 + int(rng.paretovariate(1.5)) % 60, week_days(rng) + rng.random()))
    return rows


BOOKMARK_FIXED = [
    ("Food", "New York Pizza - Order online", "https://www.newyorkpizza.example/order"),
    ("Food", "Joe's Pizza Brooklyn", "https://www.joespizzanyc.example/"),
    ("Games", "Pokémon GO - Official site", "https://pokemongolive.example/"),
    ("Work", "Payroll portal", "https://payroll.acme.example/login"),
    ("Work", "Acme Intranet", "https://intranet.acme.example/"),
    ("Banking", "Online Banking - First National", "https://banking.firstnational.example/"),
    ("", "Home Assistant", "http://homeassistant.local:8123/"),
    ("", "Router admin", "http://192.168.1.1/"),
]


def bookmarks(rng, history, count):
    """The browser's Bookmarks file: fixed ones the queries mean and others taken from the history."""
    folders = {"": []}
    for folder, name, url in BOOKMARK_FIXED:
        folders.setdefault(folder, []).append((name, url))
    names = ["Reading", "Dev", "Shopping", "Recipes", "Travel", "News"]
    taken = set(u for (_, _, u) in BOOKMARK_FIXED)
    picks = rng.sample(history[30:], count - len(BOOKMARK_FIXED))
    for url, title, _, _ in picks:
        if url in taken:
            continue
        taken.add(url)
        folders.setdefault(rng.choice(names + [""]), []).append((title, url))
    next_id = [10]

    def node(name, url=None, children=None):
        next_id[0] += 1
        if url is not None:
            return {"date_added": "13350000000000000", "id": str(next_id[0]), "name": name, "type": "url",
                    "url": url}
        return {"children": children, "date_added": "13350000000000000", "id": str(next_id[0]), "name": name,
                "type": "folder"}

    bar = [node(name, url) for name, url in folders.pop("")]
    for folder in sorted(folders):
        bar.append(node(folder, children=[node(name, url) for name, url in folders[folder]]))
    return {"checksum": "", "roots": {"bookmark_bar": node("Bookmarks bar", children=bar),
                                      "other": node("Other bookmarks", children=[]),
                                      "synced": node("Mobile bookmarks", children=[])},
            "version": 1}


# What a user types, and what for: (kind, text, "file:" path under the profile or "url:" address).
QUERIES = [
    # The start of a program's name
    ("prefix", "chr", "file:Start Menu/Programs/Google Chrome.lnk"),
    ("prefix", "chro", "file:Start Menu/Programs/Google Chrome.lnk"),
    ("prefix", "word", "file:Start Menu/Programs/Word.lnk"),
    ("prefix", "exc", "file:Start Menu/Programs/Excel.lnk"),
    ("prefix", "outl", "file:Start Menu/Programs/Outlook.lnk"),
    ("prefix", "powerp", "file:Start Menu/Programs/PowerPoint.lnk"),
    ("prefix", "note", "file:Start Menu/Programs/Accessories/Notepad.lnk"),
    ("prefix", "notepad+", "file:Start Menu/Programs/Notepad++.lnk"),
    ("prefix", "onen", "file:Start Menu/Programs/OneNote.lnk"),
    ("prefix", "fire", "file:Start Menu/Programs/Firefox.lnk"),
    ("prefix", "edge", "file:Start Menu/Programs/Microsoft Edge.lnk"),
    ("prefix", "spot", "file:Start Menu/Programs/Spotify.lnk"),
    ("prefix", "slack", "file:Start Menu/Programs/Slack.lnk"),
    ("prefix", "zoom", "file:Start Menu/Programs/Zoom.lnk"),
    ("prefix", "team", "file:Start Menu/Programs/Microsoft Teams.lnk"),
    ("prefix", "disc", "file:Start Menu/Programs/Discord.lnk"),
    ("prefix", "steam", "file:Start Menu/Programs/Steam.lnk"),
    ("prefix", "vlc", "file:Start Menu/Programs/VLC media player.lnk"),
    ("prefix", "gimp", "file:Start Menu/Programs/GIMP 2.10.36.lnk"),
    ("prefix", "calc", "file:Start Menu/Programs/Calculator.lnk"),
    ("prefix", "paint", "file:Start Menu/Programs/Accessories/Paint.lnk"),
    ("prefix", "cmd", "file:Start Menu/Programs/Windows Tools/Command Prompt.lnk"),
    ("prefix", "comm", "file:Start Menu/Programs/Windows Tools/Command Prompt.lnk"),
    ("prefix", "7-z", "file:Start Menu/Programs/7-Zip/7-Zip File Manager.lnk"),
    ("prefix", "7z", "file:Start Menu/Programs/7-Zip/7-Zip File Manager.lnk"),
    ("prefix", "task", "file:Start Menu/Programs/Windows Tools/Task Manager.lnk"),
    ("prefix", "regedit", "file:Start Menu/Programs/Windows Tools/Registry Editor.lnk"),
    ("prefix", "regi", "file:Start Menu/Programs/Windows Tools/Registry Editor.lnk"),
    ("prefix", "acro", "file:Start Menu/Programs/Adobe Acrobat Reader.lnk"),
    ("prefix", "photosh", "file:Start Menu/Programs/Adobe Photoshop 2024.lnk"),
    ("prefix", "keep", "file:Start Menu/Programs/KeePass.lnk"),
    ("prefix", "putty", "file:Start Menu/Programs/PuTTY.lnk"),
    ("prefix", "winscp", "file:Start Menu/Programs/WinSCP.lnk"),
    ("prefix", "blend", "file:Start Menu/Programs/Blender 4.1.lnk"),
    ("prefix", "audac", "file:Start Menu/Programs/Audacity.lnk"),
    ("prefix", "obs", "file:Start Menu/Programs/OBS Studio.lnk"),
    ("prefix", "termi", "file:Start Menu/Programs/Windows Terminal.lnk"),
    ("prefix", "setti", "file:Start Menu/Programs/Settings.lnk"),
    ("prefix", "snip", "file:Start Menu/Programs/Snipping Tool.lnk"),
    ("prefix", "virtualb", "file:Start Menu/Programs/Oracle VM VirtualBox/Oracle VM VirtualBox.lnk"),
    ("prefix", "wiresh", "file:Start Menu/Programs/Wireshark/Wireshark.lnk"),
    ("prefix", "python", "file:Start Menu/Programs/Python 3.12/Python 3.12 (64-bit).lnk"),
    ("prefix", "idle", "file:Start Menu/Programs/Python 3.12/IDLE (Python 3.12 64-bit).lnk"),
    ("prefix", "git bash", "file:Start Menu/Programs/Git/Git Bash.lnk"),
    ("prefix", "control", "file:Start Menu/Programs/Windows Tools/Control Panel.lnk"),
    ("prefix", "device", "file:Start Menu/Programs/Windows Tools/Device Manager.lnk"),
    ("prefix", "services", "file:Start Menu/Programs/Windows Tools/Services.lnk"),
    ("prefix", "obsid", "file:Start Menu/Programs/Obsidian.lnk"),
    ("prefix", "notion", "file:Start Menu/Programs/Notion.lnk"),
    ("prefix", "figma", "file:Start Menu/Programs/Figma.lnk"),
    ("prefix", "docker", "file:Start Menu/Programs/Docker Desktop.lnk"),
    ("prefix", "postm", "file:Start Menu/Programs/Postman.lnk"),
    ("prefix", "calib", "file:Start Menu/Programs/Calibre.lnk"),
    ("prefix", "magn", "file:Start Menu/Programs/Accessibility/Magnifier.lnk"),
    # A word inside the name
    ("word", "code", "file:Start Menu/Programs/Visual Studio Code.lnk"),
    ("word", "studio", "file:Start Menu/Programs/Visual Studio 2022.lnk"),
    ("word", "manager", "file:Start Menu/Programs/Windows Tools/Task Manager.lnk"),
    ("word", "desktop", "file:Start Menu/Programs/Accessories/Remote Desktop Connection.lnk"),
    ("word", "writer", "file:Start Menu/Programs/LibreOffice/LibreOffice Writer.lnk"),
    ("word", "reader", "file:Start Menu/Programs/Adobe Acrobat Reader.lnk"),
    ("word", "games", "file:Start Menu/Programs/Epic Games Launcher.lnk"),
    # The initials of the name's words
    ("initials", "vsc", "file:Start Menu/Programs/Visual Studio Code.lnk"),
    ("initials", "vs", "file:Start Menu/Programs/Visual Studio 2022.lnk"),
    ("initials", "tm", "file:Start Menu/Programs/Windows Tools/Task Manager.lnk"),
    ("initials", "gc", "file:Start Menu/Programs/Google Chrome.lnk"),
    ("initials", "me", "file:Start Menu/Programs/Microsoft Edge.lnk"),
    ("initials", "mt", "file:Start Menu/Programs/Microsoft Teams.lnk"),
    ("initials", "cp", "file:Start Menu/Programs/Windows Tools/Control Panel.lnk"),
    ("initials", "rdc", "file:Start Menu/Programs/Accessories/Remote Desktop Connection.lnk"),
    ("initials", "dm", "file:Start Menu/Programs/Windows Tools/Device Manager.lnk"),
    ("initials", "ev", "file:Start Menu/Programs/Windows Tools/Event Viewer.lnk"),
    ("initials", "wt", "file:Start Menu/Programs/Windows Terminal.lnk"),
    ("initials", "wmp", "file:Start Menu/Programs/Windows Media Player.lnk"),
    ("initials", "st", "file:Start Menu/Programs/Snipping Tool.lnk"),
    ("initials", "gd", "file:Start Menu/Programs/GitHub Desktop.lnk"),
    ("initials", "re", "file:Start Menu/Programs/Windows Tools/Registry Editor.lnk"),
    ("initials", "ie", "file:Start Menu/Programs/Accessories/Internet Explorer.lnk"),
    ("initials", "egl", "file:Start Menu/Programs/Epic Games Launcher.lnk"),
    ("initials", "aar", "file:Start Menu/Programs/Adobe Acrobat Reader.lnk"),
    # Words in another order than the name's
    ("words", "york pizza", "url:https://www.newyorkpizza.example/order"),
    ("words", "notes meeting", "file:Documents/meeting notes.doc"),
    ("words", "invoice acme", "file:Documents/Finance/Acme Corp invoice 2026-03.pdf"),
    ("words", "paris trip", "file:Documents/Travel/Trip to Paris itinerary.doc"),
    ("words", "cv john", "file:Documents/Work/John Miller CV.doc"),
    ("words", "lease apart", "file:Documents/Home/Apartment lease agreement.pdf"),
    ("words", "report march", "file:Documents/Work/Quarterly report March 2026.doc"),
    ("words", "insurance car", "file:Documents/Finance/Car insurance policy.pdf"),
    ("words", "list guest", "file:Documents/Family/Wedding guest list.xls"),
    ("words", "phoenix slides", "file:Documents/Work/Project Phoenix kickoff slides.pdf"),
    ("words", "manager task", "file:Start Menu/Programs/Windows Tools/Task Manager.lnk"),
    # Without the accents the name has
    ("accents", "cafe", "file:Documents/Café menu.pdf"),
    ("accents", "resume", "file:Documents/Résumé 2026.doc"),
    ("accents", "creme", "file:Documents/Recipes/Crème brûlée.doc"),
    ("accents", "zurich", "file:Documents/Travel/Zürich hotel booking.pdf"),
    ("accents", "munchen", "file:Documents/Travel/München Oktoberfest plan.doc"),
    ("accents", "sao paulo", "file:Documents/Travel/São Paulo flights.pdf"),
    ("accents", "noel", "file:Documents/Family/Noël 2025 photos.pdf"),
    ("accents", "senora", "file:Documents/University/Señora Gómez letter.doc"),
    ("accents", "beyonce", "file:Documents/Music/Beyoncé - Halo.mp3"),
    ("accents", "pokemon go", "url:https://pokemongolive.example/"),
    # Sites of the history and the bookmarks
    ("site", "github", "url:https://github.com/"),
    ("site", "git", "url:https://github.com/"),
    ("site", "wiki", "url:https://en.wikipedia.org/wiki/Main_Page"),
    ("site", "yout", "url:https://www.youtube.com/"),
    ("site", "gmail", "url:https://mail.google.com/mail/u/0/#inbox"),
    ("site", "amaz", "url:https://www.amazon.com/"),
    ("site", "reddit", "url:https://www.reddit.com/"),
    ("site", "stackov", "url:https://stackoverflow.com/"),
    ("site", "netf", "url:https://www.netflix.com/browse"),
    ("site", "google maps", "url:https://www.google.com/maps"),
    ("site", "drive", "url:https://drive.google.com/drive/my-drive"),
    ("site", "linked", "url:https://www.linkedin.com/feed/"),
    ("site", "bbc", "url:https://www.bbc.com/news"),
    ("site", "chatg", "url:https://chatgpt.com/"),
    ("site", "trello", "url:https://trello.com/b/x1y2z3/home-renovation"),
    ("site", "jira", "url:https://acme.atlassian.net/jira/your-work"),
    ("site", "transl", "url:https://translate.google.com/"),
    ("site", "imdb", "url:https://www.imdb.com/"),
    ("site", "ebay", "url:https://www.ebay.com/"),
    ("site", "hacker", "url:https://news.ycombinator.com/"),
    ("site", "payroll", "url:https://payroll.acme.example/login"),
    ("site", "router", "url:http://192.168.1.1/"),
    ("site", "home assis", "url:http://homeassistant.local:8123/"),
    ("site", "booking", "url:https://www.booking.com/"),
    ("site", "twitch", "url:https://www.twitch.tv/"),
    # Documents
    ("document", "meeting", "file:Documents/meeting notes.doc"),
    ("document", "notes-2026", "file:Documents/notes-2026.txt"),
    ("document", "todo", "file:Documents/todo.txt"),
    ("document", "tax ret", "file:Documents/Finance/Tax return 2025.pdf"),
    ("document", "budget 2026", "file:Documents/Finance/Budget 2026.xls"),
    ("document", "passport", "file:Documents/Home/Passport scan.jpg"),
    ("document", "thesis", "file:Documents/University/Thesis final draft.doc"),
    ("document", "vaccin", "file:Documents/Health/Vaccination record.pdf"),
    ("document", "handbook", "file:Documents/Work/Employee handbook.pdf"),
    ("document", "electricity", "file:Documents/Home/Electricity bill November.pdf"),
    ("document", "garden plan", "file:Documents/Garden plan.jpg"),
    ("document", "wedding", "file:Documents/Family/Wedding guest list.xls"),
]


def touch(path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    os.close(os.open(path, os.O_CREAT | os.O_WRONLY, 0o644))


def shortcut_targets():
    """(shortcut under the profile, what it points at) for every shortcut that points at a path."""
    rows = []
    for folder, name, exe in SHORTCUTS:
        target = "Program Files/" + exe if exe else TARGETS.get(name)
        if target:
            rows.append(("/".join(p for p in ["Start Menu/Programs", folder, name + ".lnk"] if p), target))
    for name, target in RECENT.items():
        rows.append((f"Recent/{name}.lnk", target))
    return rows


def read_queries(path):
    """The query file's rows as (kind, text, meant), as the benchmark reads them."""
    rows = []
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            fields = line.rstrip("\n").split("\t")
            if len(fields) == 3:
                rows.append(tuple(fields))
    return rows


def make(root, history_count, touch=touch):
    """Writes the profile under root; touch makes each empty file (a test passes one that only
    collects the paths)."""
    rng = random.Random(SEED)
    start = os.path.join(root, "Start Menu", "Programs")
    for folder, name, _ in SHORTCUTS:
        touch(os.path.join(start, folder, name + ".lnk"))
    for name in UNINSTALLERS:
        touch(os.path.join(start, name.split(" ", 1)[1], name + ".lnk"))

    programs = os.path.join(root, "Program Files")
    for _, name, exe in SHORTCUTS:
        if not exe:
            continue
        touch(os.path.join(programs, exe))
        for helper in rng.sample(HELPERS, rng.randrange(2, 6)):
            touch(os.path.join(programs, os.path.dirname(exe), helper))

    desktop = os.path.join(root, "Desktop")
    for name in ["ChromeSetup.exe", "vlc-3.0.20-win64.exe", "ZoomInstaller.exe", "SpotifySetup.exe",
                 "Steam Setup.exe", "python-3.12.4-amd64.exe", "Git-2.45.1-64-bit.exe", "KeePass-2.57-Setup.exe",
                 "shopping list.txt", "notes.txt", "Scan 2026-11-02.pdf", "passwords old.txt",
                 "Screenshot 2026-12-01 101512.jpg", "Invoice 2026-0042.pdf"]:
        touch(os.path.join(desktop, name))

    recent = os.path.join(root, "Recent")
    for name in RECENT:
        touch(os.path.join(recent, name + ".lnk"))

    documents = os.path.join(root, "Documents")
    for name in NAMED_DOCUMENTS:
        touch(os.path.join(documents, name))
    made = set(NAMED_DOCUMENTS)
    while len(made) < 5000:
        folder = rng.choice(DOC_FOLDERS)
        roll = rng.random()
        year = rng.choice([2022, 2023, 2024, 2025, 2026])
        if folder.startswith("Photos") or roll < 0.18:
            if rng.random() < 0.6:
                name = f"IMG_{year}{rng.randrange(1, 13):02d}{rng.randrange(1, 29):02d}_{rng.randrange(240000):06d}.jpg"
            else:
                name = f"{rng.choice(PHOTO_PLACES)} {year}-{rng.randrange(1, 13):02d} {rng.randrange(1, 99)}.jpg"
        elif folder == "Music":
            name = f"{rng.choice(['Track', 'Demo', 'Live', 'Mix'])} {rng.randrange(1, 400):03d} - {rng.choice(SITE_WORDS)}.mp3"
        elif roll < 0.30:
            name = f"Invoice {year}-{rng.randrange(1, 9999):04d}{rng.choice(['.pdf', '.pdf', '.doc'])}"
        elif roll < 0.40:
            name = f"{rng.choice(DOC_SUBJECTS)} {year}-{rng.randrange(1, 13):02d}-{rng.randrange(1, 29):02d}{rng.choice(DOC_EXTENSIONS)}"
        elif roll < 0.48:
            name = f"{rng.choice(DOC_SUBJECTS)}-{year}{'-' + str(rng.randrange(2, 9)) if rng.random() < 0.7 else ''}{rng.choice(DOC_EXTENSIONS)}"
        else:
            subject = rng.choice(DOC_SUBJECTS)
            topic = rng.choice(DOC_TOPICS)
            parts = [topic, subject] if rng.random() < 0.5 else [subject, topic]
            if rng.random() < 0.4:
                parts.append(rng.choice(MONTHS))
            if rng.random() < 0.5:
                parts.append(str(year))
            if rng.random() < 0.25:
                parts.append(rng.choice(["final", "draft", "v2", "v3", "old", "signed", "copy"]))
            text = " ".join(parts)
            name = (text[0].upper() + text[1:] if rng.random() < 0.6 else text) + rng.choice(DOC_EXTENSIONS)
        path = f"{folder}/{name}"
        if path in made:
            continue
        made.add(path)
        touch(os.path.join(documents, path))

    # What ranking costs is timed on one source whose 50,000 names all hold "doc".
    for n in range(50000):
        touch(os.path.join(root, "Bulk", f"part{n // 250:03d}",
                           f"{rng.choice(DOC_TOPICS)} document {n:05d} {rng.choice(DOC_SUBJECTS)}.txt"))

    profile = os.path.join(root, "Browser")
    os.makedirs(profile, exist_ok=True)
    history = history_rows(history_count, rng)
    with open(os.path.join(profile, "history.tsv"), "w", encoding="utf-8", newline="\n") as out:
        for url, title, visits, days in history:
            out.write(f"{url}\t{title}\t{visits}\t{days:.4f}\n")
    with open(os.path.join(profile, "Bookmarks"), "w", encoding="utf-8") as out:
        json.dump(bookmarks(rng, history, 300), out, ensure_ascii=False, indent=3)

    # The shortcuts are files the benchmark writes through the shell, pointing where these rows say.
    with open(os.path.join(root, "shortcuts.tsv"), "w", encoding="utf-8", newline="\n") as out:
        for link, target in shortcut_targets():
            out.write(f"{link}\t{target}\n")

    with open(os.path.join(root, "queries.tsv"), "w", encoding="utf-8", newline="\n") as out:
        for kind, text, meant in QUERIES:
            out.write(f"{kind}\t{text}\t{meant}\n")


def main():
    args = sys.argv[1:]
    history_count = 10000
    if "--history" in args:
        at = args.index("--history")
        history_count = int(args[at + 1])
        del args[at:at + 2]
    if len(args) != 1:
        sys.exit(__doc__)
    root = args[0].rstrip("/")
    marker = root + ".complete"
    if os.path.exists(marker):
        return
    make(root, history_count)
    open(marker, "w").close()


if __name__ == "__main__":
    main()
