<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name></name>
    <message id="openWith">
        <source>Open With</source>
        <translation>Open With</translation>
    </message>
    <message id="openWithTitle">
        <source>Open With…</source>
        <translation>Open With…</translation>
    </message>
    <message id="otherApplication">
        <source>Other Application…</source>
        <translation>Other Application…</translation>
    </message>
    <message id="searchApplications">
        <source>Search applications</source>
        <translation>Search applications</translation>
    </message>
    <message id="applications">
        <source>Applications</source>
        <translation>Applications</translation>
    </message>
    <message id="lookingForApplications">
        <source>Looking for applications…</source>
        <translation>Looking for applications…</translation>
    </message>
    <message id="setAsDefault">
        <source>Set as default for this type</source>
        <translation>Set as default for this type</translation>
    </message>
    <message id="runOrOpenQuestion">
        <source>“%1” is a program. Run it, or show its contents?</source>
        <translation>“%1” is a program. Run it, or show its contents?</translation>
    </message>
    <message id="runOrOpenDetails">
        <source>Run programs only from sources you trust.</source>
        <translation>Run programs only from sources you trust.</translation>
    </message>
    <message id="runProgram">
        <source>Run</source>
        <translation>Run</translation>
    </message>
    <message id="openAsText">
        <source>Open as Text</source>
        <translation>Open as Text</translation>
    </message>
    <message id="openFailed">
        <source>Could not open “%1”: %2</source>
        <translation>Could not open “%1”: %2</translation>
    </message>
    <message id="openInTerminal">
        <source>Open in Terminal</source>
        <translation>Open in Terminal</translation>
    </message>
    <message id="noTerminal">
        <source>No terminal program was found. Set TERMINAL to the one you use.</source>
        <translation>No terminal program was found. Set TERMINAL to the one you use.</translation>
    </message>
    <message id="freeSpace">
        <source>%1 free</source>
        <translation>%1 free</translation>
    </message>
    <message id="selectionSize">
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message id="properties">
        <source>Properties</source>
        <translation>Properties</translation>
    </message>
    <message id="copyTo">
        <source>Copy To…</source>
        <translation>Copy To…</translation>
    </message>
    <message id="moveTo">
        <source>Move To…</source>
        <translation>Move To…</translation>
    </message>
    <message id="makeLink">
        <source>Make Link</source>
        <translation>Make Link</translation>
    </message>
    <message id="linkName">
        <source>Link to %1</source>
        <translation>Link to %1</translation>
    </message>
    <message id="newDocument">
        <source>New Document</source>
        <translation>New Document</translation>
    </message>
    <message id="noTemplates">
        <source>No Templates</source>
        <translation>No Templates</translation>
    </message>
    <message id="pasteInto">
        <source>Paste into Folder</source>
        <translation>Paste into Folder</translation>
    </message>
    <message id="showHiddenFiles">
        <source>Show Hidden Files</source>
        <translation>Show Hidden Files</translation>
    </message>
    <message id="sortBy">
        <source>Sort By</source>
        <translation>Sort By</translation>
    </message>
    <message id="chooseFolder">
        <source>Choose a Folder</source>
        <translation>Choose a Folder</translation>
    </message>
    <message id="propertiesTitle">
        <source>%1 Properties</source>
        <translation>%1 Properties</translation>
    </message>
    <message id="propKind">
        <source>Kind</source>
        <translation>Kind</translation>
    </message>
    <message id="propLocation">
        <source>Location</source>
        <translation>Location</translation>
    </message>
    <message id="propSize">
        <source>Size</source>
        <translation>Size</translation>
    </message>
    <message id="propSizeOnDisk">
        <source>Size on disk</source>
        <translation>Size on disk</translation>
    </message>
    <message id="propContents">
        <source>Contents</source>
        <translation>Contents</translation>
    </message>
    <message id="propCounting">
        <source>%1, %2 (counting…)</source>
        <translation>%1, %2 (counting…)</translation>
    </message>
    <message id="propTotal">
        <source>%1, %2</source>
        <translation>%1, %2</translation>
    </message>
    <message id="propModified">
        <source>Modified</source>
        <translation>Modified</translation>
    </message>
    <message id="propAccessed">
        <source>Accessed</source>
        <translation>Accessed</translation>
    </message>
    <message id="propChanged">
        <source>Changed</source>
        <translation>Changed</translation>
    </message>
    <message id="propCreated">
        <source>Created</source>
        <translation>Created</translation>
    </message>
    <message id="propOwner">
        <source>Owner</source>
        <translation>Owner</translation>
    </message>
    <message id="propGroup">
        <source>Group</source>
        <translation>Group</translation>
    </message>
    <message id="propOthers">
        <source>Others</source>
        <translation>Others</translation>
    </message>
    <message id="propPermissions">
        <source>Permissions</source>
        <translation>Permissions</translation>
    </message>
    <message id="propRead">
        <source>Read</source>
        <translation>Read</translation>
    </message>
    <message id="propWrite">
        <source>Write</source>
        <translation>Write</translation>
    </message>
    <message id="propExecute">
        <source>Execute</source>
        <translation>Execute</translation>
    </message>
    <message id="propApplyEnclosed">
        <source>Apply to enclosed items</source>
        <translation>Apply to enclosed items</translation>
    </message>
    <message id="propLinkTarget">
        <source>Link target</source>
        <translation>Link target</translation>
    </message>
    <message id="propVolume">
        <source>Volume</source>
        <translation>Volume</translation>
    </message>
    <message id="propOpensWith">
        <source>Opens with</source>
        <translation>Opens with</translation>
    </message>
    <message id="propChange">
        <source>Change…</source>
        <translation>Change…</translation>
    </message>
    <message id="propUnknown">
        <source>Unknown</source>
        <translation>Unknown</translation>
    </message>
    <message id="propNone">
        <source>None</source>
        <translation>None</translation>
    </message>
    <message id="propApply">
        <source>Apply</source>
        <translation>Apply</translation>
    </message>
    <message id="propClose">
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message id="propSeveral">
        <source>%1 Items</source>
        <translation>%1 Items</translation>
    </message>
    <message id="operationPermissions">
        <source>Change Permissions</source>
        <translation>Change Permissions</translation>
    </message>
    <message id="undoFileOperation">
        <source>Undo Last Operation</source>
        <translation>Undo Last Operation</translation>
    </message>
    <message id="undoUnavailable">
        <source>The last operation cannot be undone.</source>
        <translation>The last operation cannot be undone.</translation>
    </message>
    <message id="undoEmpty">
        <source>There is nothing to undo.</source>
        <translation>There is nothing to undo.</translation>
    </message>
    <message id="undoBusy">
        <source>Undo is available once the running operations have finished.</source>
        <translation>Undo is available once the running operations have finished.</translation>
    </message>
    <message id="undoScope">
        <source>Undoes the last command; an item changed since is left as it is.</source>
        <translation>Undoes the last command; an item changed since is left as it is.</translation>
    </message>
    <message id="undoTask">
        <source>Undo “%1”</source>
        <translation>Undo “%1”</translation>
    </message>
    <message id="redoTask">
        <source>Redo “%1”</source>
        <translation>Redo “%1”</translation>
    </message>
    <message id="redo">
        <source>Redo</source>
        <translation>Redo</translation>
    </message>
    <message id="redoEmpty">
        <source>There is nothing to redo.</source>
        <translation>There is nothing to redo.</translation>
    </message>
    <message id="undoNamed">
        <source>Undo %1</source>
        <translation>Undo %1</translation>
    </message>
    <message id="redoNamed">
        <source>Redo %1</source>
        <translation>Redo %1</translation>
    </message>
    <message id="commandCopy" numerus="yes">
        <source>Copy %Ln Items</source>
        <translation>
            <numerusform>Copy %Ln Item</numerusform>
            <numerusform>Copy %Ln Items</numerusform>
        </translation>
    </message>
    <message id="commandMove" numerus="yes">
        <source>Move %Ln Items</source>
        <translation>
            <numerusform>Move %Ln Item</numerusform>
            <numerusform>Move %Ln Items</numerusform>
        </translation>
    </message>
    <message id="commandRename">
        <source>Rename</source>
        <translation>Rename</translation>
    </message>
    <message id="commandTrash" numerus="yes">
        <source>Trash %Ln Items</source>
        <translation>
            <numerusform>Trash %Ln Item</numerusform>
            <numerusform>Trash %Ln Items</numerusform>
        </translation>
    </message>
    <message id="commandRestore" numerus="yes">
        <source>Restore %Ln Items</source>
        <translation>
            <numerusform>Restore %Ln Item</numerusform>
            <numerusform>Restore %Ln Items</numerusform>
        </translation>
    </message>
    <message id="commandPermissions">
        <source>Permission Change</source>
        <translation>Permission Change</translation>
    </message>
    <message id="commandMakeLink" numerus="yes">
        <source>Make %Ln Links</source>
        <translation>
            <numerusform>Make %Ln Link</numerusform>
            <numerusform>Make %Ln Links</numerusform>
        </translation>
    </message>
    <message id="commandNewFolder">
        <source>New Folder</source>
        <translation>New Folder</translation>
    </message>
    <message id="settings">
        <source>Settings</source>
        <translation>Settings</translation>
    </message>
    <message id="settingsMenu">
        <source>Settings…</source>
        <translation>Settings…</translation>
    </message>
    <message id="localFiles">
        <source>Local Files</source>
        <translation>Local Files</translation>
    </message>
    <message id="newTab">
        <source>New Tab</source>
        <translation>New Tab</translation>
    </message>
    <message id="closeTab">
        <source>Close Tab</source>
        <translation>Close Tab</translation>
    </message>
    <message id="back">
        <source>Back</source>
        <translation>Back</translation>
    </message>
    <message id="forward">
        <source>Forward</source>
        <translation>Forward</translation>
    </message>
    <message id="up">
        <source>Up</source>
        <translation>Up</translation>
    </message>
    <message id="refresh">
        <source>Refresh</source>
        <translation>Refresh</translation>
    </message>
    <message id="currentPath">
        <source>Current Path</source>
        <translation>Current Path</translation>
    </message>
    <message id="editPath">
        <source>Edit Path</source>
        <translation>Edit Path</translation>
    </message>
    <message id="editPathShortcut">
        <source>Edit Path (Ctrl+L)</source>
        <translation>Edit Path (Ctrl+L)</translation>
    </message>
    <message id="pathPlaceholder">
        <source>Type a path, such as ~/Documents</source>
        <translation>Type a path, such as ~/Documents</translation>
    </message>
    <message id="filter">
        <source>Filter</source>
        <translation>Filter</translation>
    </message>
    <message id="preview">
        <source>Preview</source>
        <translation>Preview</translation>
    </message>
    <message id="more">
        <source>More</source>
        <translation>More</translation>
    </message>
    <message id="dismissError">
        <source>Dismiss</source>
        <translation>Dismiss</translation>
    </message>
    <message id="readOnly">
        <source>Read-Only</source>
        <translation>Read-Only</translation>
    </message>
    <message id="nameColumn">
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message id="kindColumn">
        <source>Type</source>
        <translation>Type</translation>
    </message>
    <message id="sizeColumn">
        <source>Size</source>
        <translation>Size</translation>
    </message>
    <message id="modifiedColumn">
        <source>Modified</source>
        <translation>Modified</translation>
    </message>
    <message id="fileList">
        <source>File List</source>
        <translation>File List</translation>
    </message>
    <message id="emptyFolder">
        <source>This folder is empty</source>
        <translation>This folder is empty</translation>
    </message>
    <message id="noMatches">
        <source>No items match the filter</source>
        <translation>No items match the filter</translation>
    </message>
    <message id="open">
        <source>Open</source>
        <translation>Open</translation>
    </message>
    <message id="openInNewTab">
        <source>Open in New Tab</source>
        <translation>Open in New Tab</translation>
    </message>
    <message id="copy">
        <source>Copy</source>
        <translation>Copy</translation>
    </message>
    <message id="cut">
        <source>Cut</source>
        <translation>Cut</translation>
    </message>
    <message id="paste">
        <source>Paste</source>
        <translation>Paste</translation>
    </message>
    <message id="undo">
        <source>Undo</source>
        <translation>Undo</translation>
    </message>
    <message id="copyPath">
        <source>Copy Path</source>
        <translation>Copy Path</translation>
    </message>
    <message id="finder">
        <source>Show in File Manager</source>
        <translation>Show in File Manager</translation>
    </message>
    <message id="selectAll">
        <source>Select All</source>
        <translation>Select All</translation>
    </message>
    <message id="home">
        <source>Home</source>
        <translation>Home</translation>
    </message>
    <message id="desktop">
        <source>Desktop</source>
        <translation>Desktop</translation>
    </message>
    <message id="downloads">
        <source>Downloads</source>
        <translation>Downloads</translation>
    </message>
    <message id="documents">
        <source>Documents</source>
        <translation>Documents</translation>
    </message>
    <message id="favorites">
        <source>Favorites</source>
        <translation>Favorites</translation>
    </message>
    <message id="tree">
        <source>Folders</source>
        <translation>Folders</translation>
    </message>
    <message id="volumes">
        <source>Volumes</source>
        <translation>Volumes</translation>
    </message>
    <message id="loading">
        <source>Loading…</source>
        <translation>Loading…</translation>
    </message>
    <message id="folder">
        <source>Folder</source>
        <translation>Folder</translation>
    </message>
    <message id="file">
        <source>File</source>
        <translation>File</translation>
    </message>
    <message id="about">
        <source>About Dromel</source>
        <translation>About Dromel</translation>
    </message>
    <message id="hide">
        <source>Hide Dromel</source>
        <translation>Hide Dromel</translation>
    </message>
    <message id="quit">
        <source>Quit</source>
        <translation>Quit</translation>
    </message>
    <message id="fileMenu">
        <source>File</source>
        <translation>File</translation>
    </message>
    <message id="editMenu">
        <source>Edit</source>
        <translation>Edit</translation>
    </message>
    <message id="goMenu">
        <source>Go</source>
        <translation>Go</translation>
    </message>
    <message id="windowMenu">
        <source>Window</source>
        <translation>Window</translation>
    </message>
    <message id="helpMenu">
        <source>Help</source>
        <translation>Help</translation>
    </message>
    <message id="minimize">
        <source>Minimize</source>
        <translation>Minimize</translation>
    </message>
    <message id="showHidden">
        <source>Show hidden items</source>
        <translation>Show hidden items</translation>
    </message>
    <message id="windowsKeys">
        <source>Use Windows-style keys</source>
        <translation>Use Windows-style keys</translation>
    </message>
    <message id="restoreTabs">
        <source>Restore tabs at startup</source>
        <translation>Restore tabs at startup</translation>
    </message>
    <message id="readOnlyNote">
        <source>Browsing never changes your files; only the file commands you choose do.</source>
        <translation>Browsing never changes your files; only the file commands you choose do.</translation>
    </message>
    <message id="language">
        <source>Language</source>
        <translation>Language</translation>
    </message>
    <message id="appearance">
        <source>Appearance</source>
        <translation>Appearance</translation>
    </message>
    <message id="skin">
        <source>Skin</source>
        <translation>Skin</translation>
    </message>
    <message id="system">
        <source>System</source>
        <translation>System</translation>
    </message>
    <message id="light">
        <source>Light</source>
        <translation>Light</translation>
    </message>
    <message id="dark">
        <source>Dark</source>
        <translation>Dark</translation>
    </message>
    <message id="glass">
        <source>Glass</source>
        <translation>Glass</translation>
    </message>
    <message id="solid">
        <source>Solid</source>
        <translation>Solid</translation>
    </message>
    <message id="restartLanguage">
        <source>A new language takes effect the next time Dromel starts.</source>
        <translation>A new language takes effect the next time Dromel starts.</translation>
    </message>
    <message id="invalidPath">
        <source>Enter an absolute path or a path beginning with ~/.</source>
        <translation>Enter an absolute path or a path beginning with ~/.</translation>
    </message>
    <message id="tooManyTabs">
        <source>No more tabs can be opened: 50 is the limit.</source>
        <translation>No more tabs can be opened: 50 is the limit.</translation>
    </message>
    <message id="directoryError">
        <source>Cannot read “%1”: %2</source>
        <translation>Cannot read “%1”: %2</translation>
    </message>
    <message id="readError">
        <source>Cannot read: %1</source>
        <translation>Cannot read: %1</translation>
    </message>
    <message id="closeNamedTab">
        <source>Close “%1”</source>
        <translation>Close “%1”</translation>
    </message>
    <message id="closeOtherTabs">
        <source>Close Other Tabs</source>
        <translation>Close Other Tabs</translation>
    </message>
    <message id="closeTabsToRight">
        <source>Close Tabs to the Right</source>
        <translation>Close Tabs to the Right</translation>
    </message>
    <message id="duplicateTab">
        <source>Duplicate Tab</source>
        <translation>Duplicate Tab</translation>
    </message>
    <message id="reopenClosedTab">
        <source>Reopen Closed Tab</source>
        <translation>Reopen Closed Tab</translation>
    </message>
    <message id="alwaysShowTabs">
        <source>Always show the tab bar</source>
        <translation>Always show the tab bar</translation>
    </message>
    <message id="thumbnails">
        <source>Thumbnails</source>
        <translation>Thumbnails</translation>
    </message>
    <message id="thumbnailsOff">
        <source>Off</source>
        <translation>Off</translation>
    </message>
    <message id="thumbnailsUpTo">
        <source>Files up to %1 MB</source>
        <translation>Files up to %1 MB</translation>
    </message>
    <message id="networkThumbnails">
        <source>Thumbnails for files on network volumes</source>
        <translation>Thumbnails for files on network volumes</translation>
    </message>
    <message id="closeWindow">
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message id="columnsMenu">
        <source>Columns</source>
        <translation>Columns</translation>
    </message>
    <message id="viewAsList">
        <source>List</source>
        <translation>List</translation>
    </message>
    <message id="viewAsIcons">
        <source>Icons</source>
        <translation>Icons</translation>
    </message>
    <message id="statusFiltered">
        <source>%1 shown of %2</source>
        <translation>%1 shown of %2</translation>
    </message>
    <message id="statusSelection">
        <source>%1, %2</source>
        <translation>%1, %2</translation>
    </message>
    <message id="statusLoading">
        <source>%1 — loading…</source>
        <translation>%1 — loading…</translation>
    </message>
    <message id="statusSorting">
        <source>%1 — sorting…</source>
        <translation>%1 — sorting…</translation>
    </message>
    <message id="items" numerus="yes">
        <source>%Ln items</source>
        <translation>
            <numerusform>%Ln item</numerusform>
            <numerusform>%Ln items</numerusform>
        </translation>
    </message>
    <message id="selected" numerus="yes">
        <source>%Ln selected</source>
        <translation>
            <numerusform>%Ln selected</numerusform>
            <numerusform>%Ln selected</numerusform>
        </translation>
    </message>
    <message id="newFolder">
        <source>New Folder</source>
        <translation>New Folder</translation>
    </message>
    <message id="newFolderName">
        <source>New Folder</source>
        <translation>New Folder</translation>
    </message>
    <message id="rename">
        <source>Rename</source>
        <translation>Rename</translation>
    </message>
    <message id="trash">
        <source>Move to Trash</source>
        <translation>Move to Trash</translation>
    </message>
    <message id="operations">
        <source>Operations</source>
        <translation>Operations</translation>
    </message>
    <message id="cancelTask">
        <source>Cancel Operation</source>
        <translation>Cancel Operation</translation>
    </message>
    <message id="retryTask">
        <source>Retry</source>
        <translation>Retry</translation>
    </message>
    <message id="cleanUpTask">
        <source>Clean Up</source>
        <translation>Clean Up</translation>
    </message>
    <message id="taskUnreadable">
        <source>A task this version cannot read</source>
        <translation>A task this version cannot read</translation>
    </message>
    <message id="reviewLeftovers">
        <source>Left by the task: check these places.</source>
        <translation>Left by the task: check these places.</translation>
    </message>
    <message id="cancel">
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message id="create">
        <source>Create</source>
        <translation>Create</translation>
    </message>
    <message id="continueOperation">
        <source>Continue</source>
        <translation>Continue</translation>
    </message>
    <message id="skip">
        <source>Skip</source>
        <translation>Skip</translation>
    </message>
    <message id="keepBoth">
        <source>Keep Both</source>
        <translation>Keep Both</translation>
    </message>
    <message id="replace">
        <source>Replace</source>
        <translation>Replace</translation>
    </message>
    <message id="conflictTitle">
        <source>An item with the same name already exists.</source>
        <translation>An item with the same name already exists.</translation>
    </message>
    <message id="conflictDetails">
        <source>Source: %1
Size: %2, modified %3

Destination: %4
Size: %5, modified %6</source>
        <translation>Source: %1
Size: %2, modified %3

Destination: %4
Size: %5, modified %6</translation>
    </message>
    <message id="replaceNote">
        <source>Replacing moves the existing item to the Trash.</source>
        <translation>Replacing moves the existing item to the Trash.</translation>
    </message>
    <message id="applyConflicts">
        <source>Do this for all remaining conflicts</source>
        <translation>Do this for all remaining conflicts</translation>
    </message>
    <message id="limitedTitle">
        <source>Copy with only what this volume keeps?</source>
        <translation>Copy with only what this volume keeps?</translation>
    </message>
    <message id="limitedBody">
        <source>The volume of “%1” cannot keep everything these items have, so they are copied there with what it keeps. Lost in the copies: permissions, owner and extended attributes where the volume has no place for them, and, where it cannot put an item in place exclusively, the protection against replacing an item another program creates there at the same moment. Content and modification times are kept. Continue?</source>
        <translation>The volume of “%1” cannot keep everything these items have, so they are copied there with what it keeps. Lost in the copies: permissions, owner and extended attributes where the volume has no place for them, and, where it cannot put an item in place exclusively, the protection against replacing an item another program creates there at the same moment. Content and modification times are kept. Continue?</translation>
    </message>
    <message id="extensionTitle">
        <source>Change the extension?</source>
        <translation>Change the extension?</translation>
    </message>
    <message id="extensionBody">
        <source>Renaming “%1” to “%2” changes its extension. The item may open in a different application.</source>
        <translation>Renaming “%1” to “%2” changes its extension. The item may open in a different application.</translation>
    </message>
    <message id="trashTitle">
        <source>Move to Trash?</source>
        <translation>Move to Trash?</translation>
    </message>
    <message id="trashBody">
        <source>%1 will be moved to the Trash.</source>
        <translation>%1 will be moved to the Trash.</translation>
    </message>
    <message id="plainPasteTitle">
        <source>Paste items named in text?</source>
        <translation>Paste items named in text?</translation>
    </message>
    <message id="plainPasteMoveBody">
        <source>The clipboard holds text, not copied files. The text names %1 in %2:

%3

Any program or web page can put such text on the clipboard. Move them into “%4”?</source>
        <translation>The clipboard holds text, not copied files. The text names %1 in %2:

%3

Any program or web page can put such text on the clipboard. Move them into “%4”?</translation>
    </message>
    <message id="plainPasteCopyBody">
        <source>The clipboard holds text, not copied files. The text names %1 in %2:

%3

Any program or web page can put such text on the clipboard. Copy them into “%4”?</source>
        <translation>The clipboard holds text, not copied files. The text names %1 in %2:

%3

Any program or web page can put such text on the clipboard. Copy them into “%4”?</translation>
    </message>
    <message id="pasteAnyway">
        <source>Paste</source>
        <translation>Paste</translation>
    </message>
    <message id="moreItems" numerus="yes">
        <source>and %Ln more</source>
        <translation>
            <numerusform>and %Ln more</numerusform>
            <numerusform>and %Ln more</numerusform>
        </translation>
    </message>
    <message id="nameUndisplayable">
        <source>The new name cannot keep the characters that cannot be shown there. Change only the text around them, or type the whole name anew.</source>
        <translation>The new name cannot keep the characters that cannot be shown there. Change only the text around them, or type the whole name anew.</translation>
    </message>
    <message id="nameTooLong">
        <source>The name is too long: %1 bytes. A name can have at most %2 bytes.</source>
        <translation>The name is too long: %1 bytes. A name can have at most %2 bytes.</translation>
    </message>
    <message id="replaceFolderNote">
        <source>This item cannot replace the existing one. Keep Both gives the new item a free name.</source>
        <translation>This item cannot replace the existing one. Keep Both gives the new item a free name.</translation>
    </message>
    <message id="operationSummary">
        <source>%1 — done: %2, skipped: %3, failed: %4, remaining: %5</source>
        <translation>%1 — done: %2, skipped: %3, failed: %4, remaining: %5</translation>
    </message>
    <message id="operationProgress">
        <source>%1 of %2</source>
        <translation>%1 of %2</translation>
    </message>
    <message id="operationRecovery">
        <source>Left for review: %1</source>
        <translation>Left for review: %1</translation>
    </message>
    <message id="operationResult">
        <source>%1: %2 → %3</source>
        <translation>%1: %2 → %3</translation>
    </message>
    <message id="noTasks">
        <source>No operations</source>
        <translation>No operations</translation>
    </message>
    <message id="journalInUse">
        <source>Another Dromel is running tasks on this operations journal. File operations are off in this window; use the other window.</source>
        <translation>Another Dromel is running tasks on this operations journal. File operations are off in this window; use the other window.</translation>
    </message>
    <message id="journalReadOnly">
        <source>Another Dromel process holds this operations journal. Its tasks are shown as that process last wrote them; from this window they can be followed, not changed.</source>
        <translation>Another Dromel process holds this operations journal. Its tasks are shown as that process last wrote them; from this window they can be followed, not changed.</translation>
    </message>
    <message id="journalInUseRefused">
        <source>Not done: another Dromel process holds the operations journal, so file operations are off in this window. Use the other window.</source>
        <translation>Not done: another Dromel process holds the operations journal, so file operations are off in this window. Use the other window.</translation>
    </message>
    <message id="taskCleanedUp">
        <source>Cleaned up</source>
        <translation>Cleaned up</translation>
    </message>
    <message id="taskCopy">
        <source>Copy %1 to %2</source>
        <translation>Copy %1 to %2</translation>
    </message>
    <message id="taskMove">
        <source>Move %1 to %2</source>
        <translation>Move %1 to %2</translation>
    </message>
    <message id="taskRename">
        <source>Rename “%1” to “%2”</source>
        <translation>Rename “%1” to “%2”</translation>
    </message>
    <message id="taskTrash">
        <source>Move %1 to the Trash</source>
        <translation>Move %1 to the Trash</translation>
    </message>
    <message id="taskNewFolder">
        <source>New folder “%1”</source>
        <translation>New folder “%1”</translation>
    </message>
    <message id="taskCopyOne">
        <source>Copy “%1” to %2</source>
        <translation>Copy “%1” to %2</translation>
    </message>
    <message id="taskMoveOne">
        <source>Move “%1” to %2</source>
        <translation>Move “%1” to %2</translation>
    </message>
    <message id="taskRestore">
        <source>Restore %1</source>
        <translation>Restore %1</translation>
    </message>
    <message id="taskRestoreOne">
        <source>Restore “%1”</source>
        <translation>Restore “%1”</translation>
    </message>
    <message id="taskDelete">
        <source>Delete %1 permanently</source>
        <translation>Delete %1 permanently</translation>
    </message>
    <message id="taskDeleteOne">
        <source>Delete “%1” permanently</source>
        <translation>Delete “%1” permanently</translation>
    </message>
    <message id="taskPermissions">
        <source>Change the permissions of %1</source>
        <translation>Change the permissions of %1</translation>
    </message>
    <message id="taskPermissionsOne">
        <source>Change the permissions of “%1”</source>
        <translation>Change the permissions of “%1”</translation>
    </message>
    <message id="taskLinkOne">
        <source>Make a link to “%1” in %2</source>
        <translation>Make a link to “%1” in %2</translation>
    </message>
    <message id="taskLink">
        <source>Make links to %1 in %2</source>
        <translation>Make links to %1 in %2</translation>
    </message>
    <message id="taskTrashOne">
        <source>Move “%1” to the Trash</source>
        <translation>Move “%1” to the Trash</translation>
    </message>
    <message id="dismissTask">
        <source>Dismiss</source>
        <translation>Dismiss</translation>
    </message>
    <message id="showTask">
        <source>Show Task</source>
        <translation>Show Task</translation>
    </message>
    <message id="taskBanner">
        <source>%1 — %2: %3</source>
        <translation>%1 — %2: %3</translation>
    </message>
    <message id="failedTasks" numerus="yes">
        <source>%Ln failed</source>
        <translation>
            <numerusform>%Ln failed</numerusform>
            <numerusform>%Ln failed</numerusform>
        </translation>
    </message>
    <message id="cutMarked">
        <source>cut</source>
        <translation>cut</translation>
    </message>
    <message id="writeVersion">
        <source>Before changing an item, Dromel checks that it is still the version you chose. Nothing is deleted: replaced items go to the Trash.</source>
        <translation>Before changing an item, Dromel checks that it is still the version you chose. Nothing is deleted: replaced items go to the Trash.</translation>
    </message>
    <message id="phaseQueued">
        <source>Queued</source>
        <translation>Queued</translation>
    </message>
    <message id="phasePreparing">
        <source>Preparing</source>
        <translation>Preparing</translation>
    </message>
    <message id="phaseCopying">
        <source>Copying</source>
        <translation>Copying</translation>
    </message>
    <message id="phaseVerifying">
        <source>Verifying</source>
        <translation>Verifying</translation>
    </message>
    <message id="phaseWaiting">
        <source>Waiting for your answer</source>
        <translation>Waiting for your answer</translation>
    </message>
    <message id="phaseCommitting">
        <source>Finishing</source>
        <translation>Finishing</translation>
    </message>
    <message id="phaseCancelling">
        <source>Cancelling</source>
        <translation>Cancelling</translation>
    </message>
    <message id="phaseCompleted">
        <source>Completed</source>
        <translation>Completed</translation>
    </message>
    <message id="phasePartial">
        <source>Partly completed</source>
        <translation>Partly completed</translation>
    </message>
    <message id="phaseFailed">
        <source>Failed</source>
        <translation>Failed</translation>
    </message>
    <message id="phaseCancelled">
        <source>Cancelled</source>
        <translation>Cancelled</translation>
    </message>
    <message id="phaseNeedsReview">
        <source>Needs review</source>
        <translation>Needs review</translation>
    </message>
    <message id="outcomeSucceeded">
        <source>Succeeded</source>
        <translation>Succeeded</translation>
    </message>
    <message id="outcomeSkipped">
        <source>Skipped</source>
        <translation>Skipped</translation>
    </message>
    <message id="outcomeFailed">
        <source>Failed</source>
        <translation>Failed</translation>
    </message>
    <message id="outcomeCancelled">
        <source>Cancelled</source>
        <translation>Cancelled</translation>
    </message>
    <message id="problemInvalidName">
        <source>The name is not valid.</source>
        <translation>The name is not valid.</translation>
    </message>
    <message id="problemUnsupported">
        <source>This item or request is not supported.</source>
        <translation>This item or request is not supported.</translation>
    </message>
    <message id="problemSourceChanged">
        <source>The item changed after it was chosen.</source>
        <translation>The item changed after it was chosen.</translation>
    </message>
    <message id="problemTargetChanged">
        <source>The destination changed after it was chosen.</source>
        <translation>The destination changed after it was chosen.</translation>
    </message>
    <message id="problemDescendant">
        <source>A folder cannot be copied or moved into itself.</source>
        <translation>A folder cannot be copied or moved into itself.</translation>
    </message>
    <message id="problemMetadataConsent">
        <source>The destination cannot keep everything these items have, and copying with less was not approved.</source>
        <translation>The destination cannot keep everything these items have, and copying with less was not approved.</translation>
    </message>
    <message id="problemVerification">
        <source>The copy does not match the original.</source>
        <translation>The copy does not match the original.</translation>
    </message>
    <message id="problemSystem">
        <source>The system reported an error.</source>
        <translation>The system reported an error.</translation>
    </message>
    <message id="problemJournal">
        <source>The operations journal could not be written.</source>
        <translation>The operations journal could not be written.</translation>
    </message>
    <message id="problemInterrupted">
        <source>The work was interrupted before it finished, so where each item is now is not known for certain. Check the places listed below.</source>
        <translation>The work was interrupted before it finished, so where each item is now is not known for certain. Check the places listed below.</translation>
    </message>
    <message id="quitTasksTitle">
        <source>File operations are still running.</source>
        <translation>File operations are still running.</translation>
    </message>
    <message id="quitTasksBody">
        <source>Quitting cancels them. Items already finished stay as they are; nothing is deleted.</source>
        <translation>Quitting cancels them. Items already finished stay as they are; nothing is deleted.</translation>
    </message>
    <message id="quitAfterCancel">
        <source>Cancel Operations and Quit</source>
        <translation>Cancel Operations and Quit</translation>
    </message>
    <message id="trashPlace">
        <source>Trash</source>
        <translation>Trash</translation>
    </message>
    <message id="trashOriginalColumn">
        <source>Original Location</source>
        <translation>Original Location</translation>
    </message>
    <message id="trashDeletedColumn">
        <source>Deleted</source>
        <translation>Deleted</translation>
    </message>
    <message id="trashNoRecord">
        <source>Unknown: no record of where it came from</source>
        <translation>Unknown: no record of where it came from</translation>
    </message>
    <message id="trashDamagedRecord">
        <source>Unknown: its record is damaged</source>
        <translation>Unknown: its record is damaged</translation>
    </message>
    <message id="trashMissingItem">
        <source>Missing: only its record is left</source>
        <translation>Missing: only its record is left</translation>
    </message>
    <message id="trashRestore">
        <source>Restore</source>
        <translation>Restore</translation>
    </message>
    <message id="trashEmpty">
        <source>Empty Trash</source>
        <translation>Empty Trash</translation>
    </message>
    <message id="trashDeletePermanently">
        <source>Delete Permanently</source>
        <translation>Delete Permanently</translation>
    </message>
    <message id="emptyTrashOrphans">
        <source>Records left without their items: %1. They are removed too.</source>
        <translation>Records left without their items: %1. They are removed too.</translation>
    </message>
    <message id="deleteTitle">
        <source>Delete permanently?</source>
        <translation>Delete permanently?</translation>
    </message>
    <message id="emptyTrashTitle">
        <source>Empty the Trash?</source>
        <translation>Empty the Trash?</translation>
    </message>
    <message id="deleteBody">
        <source>%1 (%2) will be deleted. This cannot be undone.</source>
        <translation>%1 (%2) will be deleted. This cannot be undone.</translation>
    </message>
    <message id="search">
        <source>Search</source>
        <translation>Search</translation>
    </message>
    <message id="searchPlaceholder">
        <source>Name, or a pattern such as *.pdf</source>
        <translation>Name, or a pattern such as *.pdf</translation>
    </message>
    <message id="searchContentPlaceholder">
        <source>Text inside files</source>
        <translation>Text inside files</translation>
    </message>
    <message id="searchThisFolder">
        <source>This Folder</source>
        <translation>This Folder</translation>
    </message>
    <message id="searchHome">
        <source>Home</source>
        <translation>Home</translation>
    </message>
    <message id="searchThisVolume">
        <source>This Volume</source>
        <translation>This Volume</translation>
    </message>
    <message id="searchStart">
        <source>Search In</source>
        <translation>Search In</translation>
    </message>
    <message id="searchNames">
        <source>Names</source>
        <translation>Names</translation>
    </message>
    <message id="searchContents">
        <source>Contents</source>
        <translation>Contents</translation>
    </message>
    <message id="searchMode">
        <source>Search By</source>
        <translation>Search By</translation>
    </message>
    <message id="searchType">
        <source>Type</source>
        <translation>Type</translation>
    </message>
    <message id="searchAnyType">
        <source>Any Type</source>
        <translation>Any Type</translation>
    </message>
    <message id="searchTypeFolder">
        <source>Folders</source>
        <translation>Folders</translation>
    </message>
    <message id="searchTypeDocument">
        <source>Documents</source>
        <translation>Documents</translation>
    </message>
    <message id="searchTypeImage">
        <source>Images</source>
        <translation>Images</translation>
    </message>
    <message id="searchTypeAudio">
        <source>Audio</source>
        <translation>Audio</translation>
    </message>
    <message id="searchTypeVideo">
        <source>Videos</source>
        <translation>Videos</translation>
    </message>
    <message id="searchTypeArchive">
        <source>Archives</source>
        <translation>Archives</translation>
    </message>
    <message id="searchModified">
        <source>Modified</source>
        <translation>Modified</translation>
    </message>
    <message id="searchAnyTime">
        <source>Any Time</source>
        <translation>Any Time</translation>
    </message>
    <message id="searchPastDay">
        <source>Past Day</source>
        <translation>Past Day</translation>
    </message>
    <message id="searchPastWeek">
        <source>Past Week</source>
        <translation>Past Week</translation>
    </message>
    <message id="searchPastMonth">
        <source>Past Month</source>
        <translation>Past Month</translation>
    </message>
    <message id="searchPastYear">
        <source>Past Year</source>
        <translation>Past Year</translation>
    </message>
    <message id="searchSizeAbove">
        <source>Over (MB)</source>
        <translation>Over (MB)</translation>
    </message>
    <message id="searchSizeBelow">
        <source>Under (MB)</source>
        <translation>Under (MB)</translation>
    </message>
    <message id="searchOtherVolumes">
        <source>Other Volumes</source>
        <translation>Other Volumes</translation>
    </message>
    <message id="searchContentLimit">
        <source>Content search skips files over (MB)</source>
        <translation>Content search skips files over (MB)</translation>
    </message>
    <message id="searchClose">
        <source>Close Search</source>
        <translation>Close Search</translation>
    </message>
    <message id="searchUnreadable">
        <source>Some folders could not be read</source>
        <translation>Some folders could not be read</translation>
    </message>
    <message id="locationColumn">
        <source>Location</source>
        <translation>Location</translation>
    </message>
    <message id="openContainingFolder">
        <source>Open Containing Folder</source>
        <translation>Open Containing Folder</translation>
    </message>
</context>
</TS>
