// The lines that the splash window and the About box share, and the web
// page that "&Visit Corvania" opens. The address is a placeholder under the
// reserved .example domain until the project publishes a page of its own.
#pragma once

#define KGF_WEB_ADDRESS "http://corvania.example/kgftool/"

#define ABOUT_TITLE_LINE "KGF Tool (v0.7)"
#define ABOUT_AUTHOR_LINE "By the KGF Tool team"
#define ABOUT_CONTACT_LINE "Contact: see readme.txt"
#define ABOUT_WEB_LINE "Web: corvania.example/kgftool"
#define ABOUT_TERMS_LINE "Use at your own risk."
